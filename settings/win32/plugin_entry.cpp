// The plugin's one exported symbol (plugin_exports.def): the module looks it
// up by name.
#include "settings/win32/win32_options_plugin.h"

extern "C" talvenor::OptionsPlugin* TalvenorOptionsPlugin() {
  static talvenor::view::Win32OptionsPlugin plugin;
  return &plugin;
}
