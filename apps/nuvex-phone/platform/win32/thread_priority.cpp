#include "apps/nuvex-phone/platform/thread_priority.h"

#include <windows.h>

namespace nuvex {

bool RaiseCallingThreadPriority() { return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL) != 0; }

}  // namespace nuvex
