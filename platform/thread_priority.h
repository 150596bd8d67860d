#pragma once

namespace talvenor {

// Asks for a priority above normal for the calling thread. Linux grants that
// only with a privilege most users lack; a refusal is ignored.
void TryRaiseThreadPriority();

}  // namespace talvenor
