// The tests' process-level helpers on Windows. The module's profile is a
// registry key named after the executable that holds its code, so each
// test's profile is that key, cleared before and after. There is no fork:
// the tests that need a child process run on Linux only.
#include <windows.h>

#include <cstdlib>

#include "platform/profile_store.h"
#include "tests/support/test_helpers.h"

namespace testhelp {

namespace {

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// Path() names the key as "HKEY_CURRENT_USER\\Software\\...".
void ClearModuleProfile() {
  std::string path = talvenor::ModuleProfile().Path();
  std::string key = path.substr(path.find('\\') + 1);
  RegDeleteTreeW(HKEY_CURRENT_USER, Wide(key).c_str());
}

}  // namespace

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  _putenv_s(name, value.c_str());
}

ScopedEnv::~ScopedEnv() { _putenv_s(name_.c_str(), old_ ? old_->c_str() : ""); }

ScopedProfile::ScopedProfile(const std::string&) { ClearModuleProfile(); }

ScopedProfile::~ScopedProfile() { ClearModuleProfile(); }

int RunInChild(const std::function<int()>&, bool) { return -1; }

}  // namespace testhelp
