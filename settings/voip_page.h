// The VoIP page over the live settings.
#pragma once

#include "settings/options_pages.h"

namespace talvenor {

VoipForm LoadVoipPage();
// The codecs change at once; the base port only when it passes.
Exchange StoreVoipPage(const VoipForm& form);
// The threshold follows the slider while calls run.
void MoveSilenceSlider(int position);

}  // namespace talvenor
