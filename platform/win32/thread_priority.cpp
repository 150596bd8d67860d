#include "platform/thread_priority.h"

#include <windows.h>

namespace talvenor {

void TryRaiseThreadPriority() {
  // Windows grants a priority above normal without any privilege.
  (void)SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
}

}  // namespace talvenor
