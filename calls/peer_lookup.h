// The reverse name lookup of a call's peer: the name, once found, is shown to
// the host after the connection text. One worker thread makes the lookups
// from a short queue and a cache answers recent addresses at once, so that a
// flood of calls costs one thread however long the resolver takes.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

namespace talvenor {

class CallLine;

// Adds the peer's name to the line's connection text: at once when the
// address was looked up lately, else through the worker. Skipped, the text
// keeping the address alone, when the worker's queue is full. The worker
// holds no share of the line: one released meanwhile is passed over.
void StartPeerLookup(std::shared_ptr<CallLine> line, uint32_t address);
// Waits until the worker has ended, at most `limit` (a lookup under way
// cannot be cut short); true when none is left. An idle worker ends at once
// for it. For a test, or a host that unloads the module.
bool WaitForPeerLookups(std::chrono::milliseconds limit);

}  // namespace talvenor
