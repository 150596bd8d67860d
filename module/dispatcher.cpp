// Dispatch: the one place where received messages enter the rest of the
// module. It reads the message's kind, Call-ID line and dialog and decides,
// row by row, who handles it.
#include <string>

#include "calls/call_line.h"
#include "config/module_settings.h"
#include "module/sip_module.h"
#include "registration/gateway_accounts.h"
#include "registration/registrar.h"
#include "sip/header_names.h"
#include "sip/kind_table.h"
#include "sip/recipes.h"
#include "sip/sip_message.h"

namespace talvenor {

namespace {
constexpr std::string_view kAllowLine = "\r\nAllow: INVITE, ACK, CANCEL, BYE";
}  // namespace

void SipModule::Dispatch(const SipMessage& message) {
  std::unique_lock lock(moduleLock_, std::defer_lock);
  if (!LockUnlessStopped(lock)) return;  // dropped: the module is stopping
  SipKind kind = message.Kind();
  if (kind == kRegister && Settings().EnableRegistrations) {
    HandleRegister(*this, message, CurrentRegistrarSettings(), registrations_, guesses_);  // whatever line matches
    return;
  }
  // A line is found by its Call-ID, then takes the message only when it
  // belongs to its dialog: a Call-ID alone steers no call.
  std::shared_ptr<CallLine> sameCallId = FindCallByCallId(message.FindLine(kCallIdHeader));
  std::shared_ptr<CallLine> line = sameCallId && sameCallId->Owns(message) ? sameCallId : nullptr;
  switch (kind) {
    case kInvite:
      if (line) line->HandleInDialog(message);
      else if (sameCallId) SendStatelessResponse(kStatus481, message, {});
      else HandleNewInvite(message);
      return;
    case kCancel:
    case kBye:
      if (line) {
        // A CANCEL's 200 carries the tag of the answers to its INVITE (RFC 3261 9.2).
        SendStatelessResponse(kStatus200, message, {}, std::to_string(line->Tag()));
        line->HandleInDialog(message);
      } else {
        SendStatelessResponse(kStatus481, message, {});
      }
      return;
    case kAck:
      if (line) line->HandleInDialog(message);
      return;  // a stray ACK is dropped
    default:
      break;
  }
  if (kind >= kRegister && kind <= kLastMethod) {
    // A call's own OPTIONS, UPDATE or INFO is the line's to answer; any
    // other REGISTER (while registrations are off) to MESSAGE gets 405.
    if (line) line->HandleInDialog(message);
    else SendStatelessResponse(kStatus405, message, kAllowLine);
  } else if (line) {
    line->HandleInDialog(message);  // responses and unknown start lines of the dialog
  } else if (sameCallId) {
    return;  // a response to nothing this call sent: dropped
  } else if (kind == kStatus487) {
    SendRequestFromMessage(kAck, message);
    OfferToGatewayAccounts(message);
  } else {
    OfferToGatewayAccounts(message);
  }
}

std::shared_ptr<CallLine> SipModule::FindCallByCallId(std::string_view key) const {
  for (int index = 0; index <= highestLine_ && index < kMaxLines; ++index) {
    const std::shared_ptr<CallLine>& line = lines_[index];
    if (line && line->Dialog().Read([&](const DialogState& dialog) {
          return CallIdMatches(key, dialog.lines.callIdLine);
        })) {
      return line;
    }
  }
  return nullptr;
}

// Each account decides for itself whether the response is its own.
void SipModule::OfferToGatewayAccounts(const SipMessage& response) {
  for (auto& account : gateways_) {
    if (account) account->OnGatewayResponse(response);
  }
}

}  // namespace talvenor
