// The system's messages for a thread. On Windows the module's timer ticks
// through the messages of the thread that started the module, so that
// thread, the phone's first, handles them while it waits; Linux has no such
// messages.
#pragma once

namespace nuvex {

// Whether a waiting thread has messages to handle on this system.
bool ThreadTakesMessages();
// Handles the calling thread's messages, waiting at most `timeoutMs` for
// the first one.
void HandleThreadMessages(int timeoutMs);

}  // namespace nuvex
