// The texts of a line's own requests (INVITE, ACK, CANCEL, BYE) and of its
// responses to the caller's INVITE, composed from the dialog's state. Pure:
// the line sends them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "calls/dialog_state.h"
#include "platform/endpoint.h"
#include "sip/kind_table.h"

namespace talvenor {

// INVITE and CANCEL, and the ACK of a failure, belong to the INVITE's
// transaction and go to its target; BYE and the ACK of a 2xx to the dialog's.
enum class RequestScope { InviteTransaction, Dialog };

// The line that sends: its tag, its direction and the SIP port it names.
struct RequestSender {
  uint32_t tag = 0;
  bool incoming = false;
  uint16_t sipPort = 0;
};

struct ComposedRequest {
  std::string text;  // up to the extra text and the body, which the sender adds
  Ipv4Endpoint destination;
};

// The request line, our Via, the dialog's lines (`toLine` instead of the
// dialog's To when given), the CSeq line and the pending credentials.
// Records in the dialog what the request changes: an INVITE's number and To
// line, and the From and To an incoming line's first BYE exchanges.
ComposedRequest ComposeInCallRequest(DialogState& dialog, const RequestSender& sender, SipKind method,
                                     RequestScope scope, std::string_view toLine);
// A response to the caller's INVITE: the status line and the INVITE's lines
// (every Via; Record-Route from the first ringing on).
std::string ComposeInviteResponse(const DialogState& dialog, SipKind status);
// The extra text (then User-Agent, for a request), the content lines and the body.
std::string ClosingLines(std::string_view extraText, bool userAgent, std::string_view body);
// Where requests of the dialog go: the first route's address when it is a
// dotted one, else the SIP peer.
Ipv4Endpoint DialogDestination(const DialogState& dialog);

}  // namespace talvenor
