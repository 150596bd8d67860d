#include "apps/nuvex-phone/module_session.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "apps/nuvex-phone/phone_calls.h"
#include "apps/nuvex-phone/phone_profile.h"
#include "host/ccom.h"

namespace nuvex {

namespace {

CCom* (*createCom)() = nullptr;
CCom* module = nullptr;

void Say(const std::string& text) {
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

// The stored account "FLAG, address, prefix, caller id, user id, password"
// with its flag set or cleared.
std::string WithRegisterFlag(const std::string& stored, bool registering) {
  size_t comma = stored.find(',');
  std::string rest = comma == std::string::npos ? std::string(", , , , , ") : stored.substr(comma);
  return std::string(registering ? "1" : "0") + rest;
}

bool Registering(const std::string& stored) { return std::strtoul(stored.c_str(), nullptr, 10) != 0; }

// One field of the stored account, blanks left out.
std::string Field(const std::string& stored, int index) {
  size_t start = 0;
  for (int skip = 0; skip < index; ++skip) {
    start = stored.find(',', start);
    if (start == std::string::npos) return {};
    ++start;
  }
  std::string field = stored.substr(start, stored.find(',', start) - start);
  std::string clean;
  for (char c : field) {
    if (c != ' ' && c != '\t') clean += c;
  }
  return clean;
}

}  // namespace

bool StartModule(const std::string& libraryPath) {
  void* library = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (library == nullptr) {
    std::fprintf(stderr, "nuvex-phone: cannot load %s: %s\n", libraryPath.c_str(), dlerror());
    return false;
  }
  createCom = reinterpret_cast<CCom* (*)()>(dlsym(library, "CreateCom"));
  if (createCom == nullptr) {
    std::fprintf(stderr, "nuvex-phone: %s has no CreateCom\n", libraryPath.c_str());
    return false;
  }
  module = createCom();
  if (module == nullptr) {
    std::fprintf(stderr, "nuvex-phone: the module did not start\n");
    return false;
  }
  return true;
}

CCom* Module() { return module; }

void StopModule() {
  if (module != nullptr) module->Shutdown();
  module = nullptr;
}

bool ToggleGatewayRegistration(int account) {
  if (account < 0 || account > 2) {
    Say("register takes a gateway account: 0, 1 or 2");
    return false;
  }
  if (!LiveCalls().empty()) {
    Say("register restarts the module: end the calls first");
    return false;
  }
  std::string entry = "GW" + std::to_string(account);
  StopModule();  // writes the accounts as they stand
  std::string stored = ReadProfileEntry(entry).value_or("");
  bool registering = !Registering(stored);
  if (registering && Field(stored, 1).empty()) {
    Say("gateway " + std::to_string(account) + " has no address: set it in the SIP Options first");
  } else if (!WriteProfileEntry(entry, WithRegisterFlag(stored, registering))) {
    Say("cannot write the profile: gateway " + std::to_string(account) + " unchanged");
  } else {
    Say("gateway " + std::to_string(account) + (registering ? ": registering with " + Field(stored, 1) +
                                                                    " as " + Field(stored, 4)
                                                              : ": registration off"));
  }
  module = createCom();
  if (module == nullptr) {
    Say("the module did not start again: the phone ends");
    return false;
  }
  RestartCalls(module);
  return true;
}

}  // namespace nuvex
