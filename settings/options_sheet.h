// The "SIP Options" sheet opened by the host, shown by the dialogs plugin
// (libtalvenor-options.so, on Windows talvenor-options.dll, next to the
// module), which is loaded on the first use so that the module itself needs
// no dialog toolkit.
#pragma once

#include <mutex>

#include "settings/options_pages.h"

namespace talvenor {

// Shows the sheet modally on the caller's thread; true when it was closed
// with OK. While one is open, closes it and returns false at once. Without
// the plugin or a display, says why and returns false.
bool ShowOptionsSheet();

// Puts a plugin in place of the library's (tests); null loads the library
// again on the next use.
void SetOptionsPlugin(OptionsPlugin* plugin);

}  // namespace talvenor
