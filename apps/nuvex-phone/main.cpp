// nuvex-phone: a host for the Talvenor module. It loads libtalvenor.so from
// its own folder, starts the module and runs until interrupted.
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "apps/nuvex-phone/phone_host.h"
#include "host/ccom.h"
#include "platform/profile_store.h"
#include "settings/profile_values.h"

namespace {

struct Options {
  std::string configDir;
  std::string dataDir;
  std::vector<std::pair<std::string, std::string>> entries;
};

void Usage() {
  std::fprintf(stderr,
               "usage: nuvex-phone [--config-dir DIR] [--data-dir DIR] [--set ENTRY=VALUE]...\n");
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int index = 1; index < argc; ++index) {
    std::string option = argv[index];
    if (index + 1 >= argc) return false;
    std::string value = argv[++index];
    if (option == "--config-dir") {
      options.configDir = value;
    } else if (option == "--data-dir") {
      options.dataDir = value;
    } else if (option == "--set") {
      size_t equals = value.find('=');
      if (equals == std::string::npos || equals == 0) return false;
      options.entries.emplace_back(value.substr(0, equals), value.substr(equals + 1));
    } else {
      return false;
    }
  }
  return true;
}

std::string OwnFolder() {
  char path[4096] = {};
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string text(path, length > 0 ? static_cast<size_t>(length) : 0);
  size_t slash = text.rfind('/');
  return slash == std::string::npos ? std::string(".") : text.substr(0, slash);
}

unsigned ConfiguredSipPort() {
  std::vector<uint32_t> port = talvenor::ScanUnsignedList(talvenor::ModuleProfile().GetString("Port"), 3);
  return port.size() > 2 ? static_cast<uint16_t>(port[2]) : 5060u;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    Usage();
    return 2;
  }
  if (!options.configDir.empty()) setenv("XDG_CONFIG_HOME", options.configDir.c_str(), 1);
  if (!options.dataDir.empty()) nuvex::SetDataDirectory(options.dataDir);
  for (const auto& [entry, value] : options.entries) {
    if (!talvenor::ModuleProfile().WriteString(entry, value)) {
      std::fprintf(stderr, "nuvex-phone: cannot write the profile entry %s\n", entry.c_str());
      return 1;
    }
  }

  // Block the stop signals before any thread starts, then wait for them here.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  std::string modulePath = OwnFolder() + "/libtalvenor.so";
  void* library = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (library == nullptr) {
    std::fprintf(stderr, "nuvex-phone: cannot load %s: %s\n", modulePath.c_str(), dlerror());
    return 1;
  }
  auto createCom = reinterpret_cast<CCom* (*)()>(dlsym(library, "CreateCom"));
  if (createCom == nullptr) {
    std::fprintf(stderr, "nuvex-phone: %s has no CreateCom\n", modulePath.c_str());
    return 1;
  }
  CCom* module = createCom();
  if (module == nullptr) {
    std::fprintf(stderr, "nuvex-phone: the module did not start\n");
    return 1;
  }
  std::printf("Talvenor up on SIP port %u\n", ConfiguredSipPort());
  std::fflush(stdout);

  int signal = 0;
  sigwait(&stopSignals, &signal);
  nuvex::SetClosing(true);
  module->Shutdown();
  std::printf("Talvenor stopped\n");
  return 0;
}
