// The host's own basic types as the module sees them.
#pragma once

#include <string>

using CString = std::string;
using BOOL = int;
