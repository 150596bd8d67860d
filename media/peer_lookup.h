// The reverse name lookup of a call's peer, on a thread of its own: the
// name, once found, is shown to the host after the connection text.
#pragma once

#include <cstdint>
#include <memory>

namespace talvenor {

class CallLine;

void StartPeerLookup(std::shared_ptr<CallLine> line, uint32_t address);

}  // namespace talvenor
