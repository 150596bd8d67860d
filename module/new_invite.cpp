// A new INVITE, one whose Call-ID belongs to no line: authenticated when
// the settings ask for it, then a line of its own offered to the host.
#include <fmt/printf.h>

#include "calls/call_line.h"
#include "calls/incoming_call.h"
#include "module/module_settings.h"
#include "module/sip_module.h"
#include "registration/digest.h"
#include "registration/registration_list.h"
#include "sip/header_names.h"
#include "sip/recipes.h"
#include "sip/sip_message.h"

namespace talvenor {

// Under ModuleLock, from the dispatcher. True when the caller may go on:
// a registered user agent, or one whose digest answer is right.
bool SipModule::InviteAuthenticated(const SipMessage& invite) {
  std::string source = fmt::sprintf("%s:%u", DottedAddress(invite.SourceAddress()), HostPort(invite.SourcePort()));
  if (!FindRegistrationByAddress(source).empty() || !Settings().AuthenticateInvites) return true;
  std::string caller(CallerUser(invite));
  if (caller.empty()) {
    SendStatelessResponse(kStatus400, invite, {});
    return false;
  }
  std::string nonce = MakeNonce(invite);
  std::string_view authorization = invite.FindLine(kAuthorizationHeader);
  if (!AnswersChallenge(authorization, nonce)) {
    SendStatelessResponse(kStatus401, invite, ChallengeLines(caller, Settings().LocalAddress.Get(), nonce));
    return false;
  }
  SipKind status = VerifyDigest(kInvite, caller, authorization, LookupPassword);
  if (status != 0) SendStatelessResponse(status, invite, {});
  return status == 0;
}

void SipModule::HandleNewInvite(const SipMessage& invite) {
  if (!InviteAuthenticated(invite)) return;
  if (CCon::IsClose()) return;  // the host is closing: no answer at all
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
