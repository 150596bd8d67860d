// Start-up and clean-up of the sockets library. Linux sockets need neither,
// so both steps always succeed; they keep the module's start-up and shutdown
// in the same order everywhere.
#pragma once

namespace talvenor {

inline bool StartSocketsLibrary() { return true; }
inline void CleanUpSocketsLibrary() {}

}  // namespace talvenor
