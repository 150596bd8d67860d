// The plugin's own module handle: its dialog templates are loaded from it.
#pragma once

#include <windows.h>

namespace talvenor::view {

HINSTANCE PluginInstance();

}  // namespace talvenor::view
