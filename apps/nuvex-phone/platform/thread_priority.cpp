#include "apps/nuvex-phone/platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace nuvex {

bool RaiseCallingThreadPriority() {
  // setpriority on a thread id changes only that thread under Linux.
  auto self = static_cast<id_t>(syscall(SYS_gettid));
  return setpriority(PRIO_PROCESS, self, -5) == 0;
}

}  // namespace nuvex
