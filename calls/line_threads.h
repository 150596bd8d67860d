// The short-lived threads that work for one call line (outgoing call,
// answer, media receive). Each holds its own share of the line, so the host
// may release the line while they run. Ended ones are joined by the next
// start or wait, never by themselves: the last owner of a line may be such
// a thread.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace talvenor {

class CallLine;

// Runs `work` on a thread of its own, keeping the line alive for it. False
// when no thread could be started (the work is then not done).
bool StartLineThread(std::shared_ptr<CallLine> line, std::function<void(CallLine& line)> work);
// Waits until every other line thread has ended, at most `limit`; true when
// none is left. For a shutdown, or a test.
bool WaitForLineThreads(std::chrono::milliseconds limit);
// Whether the calling thread is a line thread.
bool OnLineThread();

}  // namespace talvenor
