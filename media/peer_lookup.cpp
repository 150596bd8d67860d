#include "media/peer_lookup.h"

#include "calls/call_info.h"
#include "calls/call_line.h"
#include "calls/line_threads.h"
#include "platform/endpoint.h"
#include "platform/resolver.h"

namespace talvenor {

void StartPeerLookup(std::shared_ptr<CallLine> line, uint32_t address) {
  // A lookup that cannot start leaves the text without the name; nothing else depends on it.
  StartLineThread(std::move(line), [address](CallLine& self) {
    std::string name = ReverseLookup(address);
    if (name.empty() || name == DottedAddress(address)) return;  // no name: nothing to add
    self.SetPeerHostName(name);
    self.ShowCallInfo(WithPeerName(self.InfoText(), name));
  });
}

}  // namespace talvenor
