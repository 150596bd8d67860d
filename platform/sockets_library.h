// Start-up and clean-up of the sockets library. WinSock must be started
// before any socket call and cleaned up once per successful start; Linux
// sockets need neither, so there every step succeeds. The module calls them
// in the same order everywhere.
#pragma once

namespace talvenor {

// Starts the library, asking for version 2.2; false when it cannot start.
bool StartSocketsLibrary();
// Whether the running library is version 2.2 (major and minor both 2).
// Call it after StartSocketsLibrary returned true; a start with another
// version still needs its CleanUpSocketsLibrary.
bool SocketsLibraryHasVersion22();
// Undoes one successful StartSocketsLibrary; nothing after a failed one.
void CleanUpSocketsLibrary();

}  // namespace talvenor
