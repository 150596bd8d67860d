#include "apps/nuvex-phone/priority_probe.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

namespace nuvex {

bool CanRaiseThreadPriority() {
  // Asked on a thread of its own, which ends at once: the phone's own
  // threads keep their priority.
  bool raised = false;
  std::thread probe([&raised] {
    auto self = static_cast<id_t>(syscall(SYS_gettid));
    raised = setpriority(PRIO_PROCESS, self, -5) == 0;
  });
  probe.join();
  return raised;
}

}  // namespace nuvex
