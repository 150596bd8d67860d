// WinSock started for the phone's own use of names and addresses; the
// module starts and cleans up its own.
#pragma once

namespace nuvex {

// Starts WinSock on the first call and keeps it for the rest of the process;
// false when it cannot start.
bool SocketsReady();

}  // namespace nuvex
