#pragma once

namespace nuvex {

// Asks for a priority above normal (a nice value of -5) for the calling
// thread alone; true when the system grants it.
bool RaiseCallingThreadPriority();

}  // namespace nuvex
