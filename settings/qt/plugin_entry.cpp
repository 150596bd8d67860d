// The plugin's one exported symbol: the module looks it up by name.
#include "settings/qt/qt_options_plugin.h"

extern "C" __attribute__((visibility("default"))) talvenor::OptionsPlugin* TalvenorOptionsPlugin() {
  static talvenor::view::QtOptionsPlugin plugin;
  return &plugin;
}
