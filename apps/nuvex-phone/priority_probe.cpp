#include "apps/nuvex-phone/priority_probe.h"

#include <thread>

#include "apps/nuvex-phone/platform/thread_priority.h"

namespace nuvex {

bool CanRaiseThreadPriority() {
  // Asked on a thread of its own, which ends at once: the phone's own
  // threads keep their priority.
  bool raised = false;
  std::thread probe([&raised] { raised = RaiseCallingThreadPriority(); });
  probe.join();
  return raised;
}

}  // namespace nuvex
