// The exported factory and what happens when the library is loaded.
#include "host/ccom.h"
#include "config/module_settings.h"
#include "module/no_throw.h"
#include "module/sip_module.h"
#include "platform/environment.h"
#include "platform/shared_library.h"

namespace talvenor {

namespace {

// Runs when the library is loaded, before the host can call CreateCom.
__attribute__((constructor)) void InitialiseOnLoad() {
  Guarded([] {
    ModuleSettings& settings = Settings();
    // Help file next to the host executable.
    settings.HelpFilePath.Set(ExecutableDirectory() + "/Nuvex.chm");
    if (auto address = EnvironmentVariable("NUVEX_SIPADDR")) settings.BindAddress = ParseSipAddressVariable(*address);
    settings.LineCount = ParseLineCountVariable(EnvironmentVariable("NUVEX_SIPCON"));
    TheModule();
  });
}

}  // namespace

}  // namespace talvenor

extern "C" __attribute__((visibility("default"))) CCom* CreateCom() {
  return talvenor::Guarded([] { return talvenor::TheModule().Start(); }, static_cast<CCom*>(nullptr));
}
