// The VoIP page over the module's settings.
#pragma once

#include "settings/options_pages.h"

namespace talvenor {

struct ModuleSettings;

VoipForm LoadVoipPage(const ModuleSettings& settings);
// The codecs change at once; the base port only when it passes.
Exchange StoreVoipPage(ModuleSettings& settings, const VoipForm& form);
// The threshold follows the slider while calls run.
void MoveSilenceSlider(ModuleSettings& settings, int position);

}  // namespace talvenor
