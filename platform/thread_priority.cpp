#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace talvenor {

void TryRaiseThreadPriority() {
  // setpriority on a thread id changes only that thread under Linux. Never
  // lower it first: an unprivileged thread could not raise it back.
  pid_t thread = static_cast<pid_t>(syscall(SYS_gettid));
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(thread), -5);
}

}  // namespace talvenor
