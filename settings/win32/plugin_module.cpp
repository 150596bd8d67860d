#include "settings/win32/plugin_module.h"

// The linker's symbol at the start of the image this code is part of: the
// plugin's handle, without a DllMain to catch it.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace talvenor::view {

HINSTANCE PluginInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

}  // namespace talvenor::view
