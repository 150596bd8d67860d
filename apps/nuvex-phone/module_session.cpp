#include "apps/nuvex-phone/module_session.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>

#include "apps/nuvex-phone/options_dialog.h"
#include "apps/nuvex-phone/phone_calls.h"
#include "apps/nuvex-phone/phone_output.h"
#include "apps/nuvex-phone/platform/shared_library.h"
#include "host/ccom.h"

namespace nuvex {

namespace {

// A call the module ended in its Shutdown is freed by the phone's own
// thread a moment later; one still there after this was never ended.
constexpr std::chrono::seconds kCallsFreedLimit{5};

CCom* (*createCom)() = nullptr;
std::atomic<CCom*> module{nullptr};
std::atomic<bool> lost{false};
std::mutex endpointMutex;
LocalEndpoint endpoint;

void NoteEndpoint() {
  LocalEndpoint found = FindLocalEndpoint();
  std::scoped_lock lock(endpointMutex);
  endpoint = found;
}

}  // namespace

bool StartModule(const std::string& libraryPath) {
  std::string error;
  void* library = LoadSharedLibrary(libraryPath, error);
  if (library == nullptr) {
    std::fprintf(stderr, "nuvex-phone: cannot load %s: %s\n", libraryPath.c_str(), error.c_str());
    return false;
  }
  createCom = reinterpret_cast<CCom* (*)()>(LibrarySymbol(library, "CreateCom"));
  if (createCom == nullptr) {
    std::fprintf(stderr, "nuvex-phone: %s has no CreateCom\n", libraryPath.c_str());
    return false;
  }
  CCom* started = createCom();
  if (started == nullptr) {
    std::fprintf(stderr, "nuvex-phone: the module did not start\n");
    return false;
  }
  NoteEndpoint();
  module = started;
  return true;
}

CCom* Module() { return module; }

bool ModuleLost() { return lost; }

LocalEndpoint ModuleEndpoint() {
  std::scoped_lock lock(endpointMutex);
  return endpoint;
}

void StopModule() {
  if (CCom* running = module.exchange(nullptr); running != nullptr) running->Shutdown();
  if (!WaitForCallsFreed(kCallsFreedLimit)) Event(-1, "some calls did not end with the module");
}

bool RestartModule(const std::function<void()>& whileStopped) {
  StopModule();
  whileStopped();
  CCom* started = nullptr;
  RunOnFirstThread([&] { started = createCom(); });
  if (started == nullptr) {
    lost = true;
    Event(-1, "the module did not start again: the phone ends");
    return false;
  }
  NoteEndpoint();
  module = started;
  return true;
}

}  // namespace nuvex
