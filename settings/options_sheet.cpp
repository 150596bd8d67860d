#include "settings/options_sheet.h"

namespace talvenor {

int ShowOptionsSheetNotBuiltYet() { return 0; }

}  // namespace talvenor
