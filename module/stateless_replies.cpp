// The two composers that answer without dialog state, sent back to where the
// received message came from.
#include "module/sip_module.h"
#include "sip/compose.h"
#include "sip/sip_message.h"

namespace talvenor {

void SipModule::SendStatelessResponse(int kind, const SipMessage& request, std::string_view extraLines,
                                      std::string_view toTag) const {
  std::string text = ComposeStatelessResponse(kind, request, extraLines, toTag);
  Send(std::string_view(text), Ipv4Endpoint{request.SourceAddress(), request.SourcePort()});
}

void SipModule::SendRequestFromMessage(int kind, const SipMessage& response) const {
  std::string text = ComposeRequestFromMessage(kind, response);
  Send(std::string_view(text), Ipv4Endpoint{response.SourceAddress(), response.SourcePort()});
}

}  // namespace talvenor
