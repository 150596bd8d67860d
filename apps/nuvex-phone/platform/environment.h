#pragma once

#include <string>

namespace nuvex {

// Sets the variable for this process and the module it loads, replacing
// any value it had.
void SetEnvironmentVariable(const char* name, const std::string& value);

}  // namespace nuvex
