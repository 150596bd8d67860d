#include "platform/sockets_library.h"

namespace talvenor {

bool StartSocketsLibrary() { return true; }
bool SocketsLibraryHasVersion22() { return true; }
void CleanUpSocketsLibrary() {}

}  // namespace talvenor
