#include "apps/nuvex-phone/platform/thread_messages.h"

namespace nuvex {

bool ThreadTakesMessages() { return false; }

void HandleThreadMessages(int) {}

}  // namespace nuvex
