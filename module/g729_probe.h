// The module's G.729 library: loaded at start-up, offered to new calls only
// when it has both entry points.
#pragma once

#include <string>
#include <vector>

namespace talvenor {

// Loads the library from the first candidate that loads and sets the
// G729Available setting; true when a library was loaded.
bool ProbeG729Library(const std::vector<std::string>& candidates);
// No new call may choose G.729 from now on; lines that hold the library keep it.
void WithdrawG729Library();

}  // namespace talvenor
