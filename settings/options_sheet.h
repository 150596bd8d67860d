// The "SIP Options" sheet opened by the host.
#pragma once

namespace talvenor {

// Shows the sheet modally; non-zero when it was closed with OK. The sheet's
// pages come with the dialogs; until then nothing is shown and the result is 0.
int ShowOptionsSheetNotBuiltYet();

}  // namespace talvenor
