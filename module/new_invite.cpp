// A new INVITE, one whose Call-ID belongs to no line: authenticated when
// the settings ask for it, then a line of its own offered to the host.
#include <fmt/printf.h>

#include "calls/call_line.h"
#include "calls/incoming_call.h"
#include "config/module_settings.h"
#include "module/sip_module.h"
#include "platform/clock.h"
#include "registration/digest.h"
#include "registration/registration_list.h"
#include "sip/compose.h"
#include "sip/header_names.h"
#include "sip/recipes.h"
#include "sip/sip_message.h"

namespace talvenor {

namespace {

// The nonces whose answers have let an INVITE through. Used under ModuleLock only.
SpentNonces& SpentInviteNonces() {
  static SpentNonces* spent = new SpentNonces;  // outlives static destruction, as the module does
  return *spent;
}

std::string SourceText(const SipMessage& message) {
  return fmt::sprintf("%s:%u", DottedAddress(message.SourceAddress()), HostPort(message.SourcePort()));
}

// An INVITE's answer counts for that INVITE alone: the From user's own
// account, the realm of its challenge and its request URI.
SipKind VerifyInviteDigest(const SipMessage& invite, const std::string& caller, const std::string& localAddress,
                           std::string_view authorization) {
  DigestScope scope{ChallengeRealm(caller, localAddress), std::string(RequestUri(invite)), caller};
  std::string user;
  return VerifyScopedDigest(kInvite, scope, user, authorization, LookupPassword);
}

}  // namespace

// Under ModuleLock, from the dispatcher. True when the caller may go on:
// the From user holds a live, authenticated registration from this very
// source, or its digest answer is right for this INVITE and not used before.
bool SipModule::InviteAuthenticated(const SipMessage& invite) {
  std::string caller(CallerUser(invite));
  if (!Settings().AuthenticateInvites || registrations_.AuthenticatedFrom(caller, SourceText(invite), RegistrationLifetimeCap())) return true;
  if (caller.empty()) {
    SendStatelessResponse(kStatus400, invite, {});
    return false;
  }
  std::string_view authorization = invite.FindLine(kAuthorizationHeader);
  // A source held back for guessing: its credentials go unanswered.
  if (!authorization.empty() && !guesses_.MayVerify(invite)) return false;
  std::string localAddress = Settings().LocalAddress.Get();
  uint32_t round = guesses_.NonceRound(invite.SourceAddress());
  std::string nonce = MakeNonce(invite, round);
  if (!AnswersChallenge(authorization, nonce)) {
    SendStatelessResponse(kStatus401, invite, ChallengeFor(invite, authorization, caller, localAddress, nonce, round));
    return false;
  }
  SipKind status = VerifyInviteDigest(invite, caller, localAddress, authorization);
  if (status != 0 && status != kStatus400) guesses_.Failed(invite, caller);
  if (status == 0) guesses_.Succeeded(invite, caller);
  // A right answer whose nonce has already let an INVITE through is stale.
  if (status == 0 && !SpentInviteNonces().Spend(nonce, CalendarSeconds())) status = kStatus401;
  if (status == kStatus401) {
    SendStatelessResponse(kStatus401, invite, ChallengeLines(caller, localAddress, nonce));
  } else if (status != 0) {
    SendStatelessResponse(status, invite, {});
  }
  return status == 0;
}

void SipModule::HandleNewInvite(const SipMessage& invite) {
  if (!InviteAuthenticated(invite)) return;
  if (std::string_view required = RequiredExtensions(invite); !required.empty()) {
    // No extension is supported here: a caller that requires one must hear
    // which, rather than have its INVITE taken without it.
    SendStatelessResponse(kStatus420, invite, UnsupportedLines(required));
    return;
  }
  // The host is closing, or the module is ending its calls: no answer at all.
  if (CCon::IsClose() || closing_) return;
  // One ringing line for each caller's address: a stranger cannot ring
  // every line at once.
  if (RingingFrom(invite.SourceAddress())) {
    SendStatelessResponse(kStatus486, invite, {});
    return;
  }
  PayloadTypeFlags enabled = CallPayloadTypes();
  std::shared_ptr<CallLine> line = CreateLine([&](int index) {
    CallParameters parameters;
    parameters.lineIndex = index;
    parameters.callMode = -1;  // 0 once the INVITE is taken
    parameters.enabledPayloadTypes = enabled;
    return std::make_shared<CallLine>(*this, parameters);
  });
  if (line && AcceptInvite(line, invite, this)) return;
  if (line) ReleaseLine(line->LineIndex(), 0);
  SendStatelessResponse(kStatus488, invite, {});
  CCon::OnClose();
}

}  // namespace talvenor
