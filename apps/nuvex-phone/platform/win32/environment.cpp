#include "apps/nuvex-phone/platform/environment.h"

#include <cstdlib>

namespace nuvex {

// The C library's own copy of the environment, which the module reads with
// getenv, changes with the process's.
void SetEnvironmentVariable(const char* name, const std::string& value) { _putenv_s(name, value.c_str()); }

}  // namespace nuvex
