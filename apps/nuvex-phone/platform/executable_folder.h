#pragma once

#include <string>

namespace nuvex {

// Folder of the running phone, with no trailing slash; "." when unknown.
std::string ExecutableFolder();

}  // namespace nuvex
