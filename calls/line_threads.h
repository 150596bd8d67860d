// The short-lived threads that work for one call line (outgoing call,
// answer, media receive, peer lookup). Each holds its own share of the line,
// so the host may release the line while they run; none is joined, since
// the last owner of a line may be such a thread itself.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace talvenor {

class CallLine;

// Runs `work` on a thread of its own, keeping the line alive for it. False
// when no thread could be started (the work is then not done).
bool StartLineThread(std::shared_ptr<CallLine> line, std::function<void(CallLine& line)> work);
// Waits until every line thread has ended, at most `limit`; true when none
// is left. For shutdown of a test, or of a host that unloads the module.
bool WaitForLineThreads(std::chrono::milliseconds limit);

}  // namespace talvenor
