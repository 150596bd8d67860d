#include "apps/nuvex-phone/platform/environment.h"

#include <cstdlib>

namespace nuvex {

void SetEnvironmentVariable(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }

}  // namespace nuvex
