// Which received messages a line takes: only those of its own dialog, so
// that nobody who merely knows (or guesses) a Call-ID can end, answer or
// steer the call.
#include <fmt/format.h>

#include <algorithm>

#include "calls/call_line.h"
#include "sip/compose.h"
#include "sip/header_names.h"
#include "sip/recipes.h"
#include "sip/sip_message.h"

namespace talvenor {

bool CallLine::Owns(const SipMessage& message) const {
  SipKind kind = message.Kind();
  return IsMethodKind(kind) ? OwnsRequest(message) : OwnsResponse(message);
}

bool CallLine::OwnsRequest(const SipMessage& request) const {
  std::string_view toTag = ToTag(request);
  return dialog_.Read([&](const DialogState& dialog) {
    if (dialog.farTagKnown && FromTag(request) != dialog.farTag) return false;
    if (toTag == fmt::format_int(Tag()).str()) return true;
    // The caller's INVITE repeated, or its CANCEL: the INVITE's transaction.
    SipKind kind = request.Kind();
    return incoming_ && toTag.empty() && (kind == kInvite || kind == kCancel) &&
           TopViaBranch(request) == dialog.inviteBranch && CseqNumber(request) == dialog.inviteCseq;
  });
}

bool CallLine::OwnsResponse(const SipMessage& response) const {
  // Every branch of ours is the prefix and the tag, followed (for all but
  // the first INVITE's) by "." and the request's number and method.
  std::string own = fmt::format("{}{}", kBranchPrefix, Tag());
  std::string_view branch = TopViaBranch(response);
  if (!branch.starts_with(own) || (branch.size() > own.size() && branch[own.size()] != '.')) return false;
  std::string_view method = CseqMethod(response);
  int32_t number = CseqNumber(response);
  SipKind pending = pendingRequest_;
  return dialog_.Read([&](const DialogState& dialog) {
    // One whose CSeq method cannot be read is taken as the INVITE's.
    if (method == KindText(kInvite) || method.empty()) {
      return !incoming_ && dialog.inviteCseq != 0 && (number == dialog.inviteCseq || (method.empty() && number == 0));
    }
    return pending != kNoKind && method == KindText(pending) && number == static_cast<int32_t>(dialog.cseq);
  });
}

void CallLine::SetInviteTransaction(std::string_view farTag, std::string_view branch, int32_t cseqNumber) {
  dialog_.Update([&](DialogState& dialog) {
    dialog.farTag = farTag;
    dialog.farTagKnown = true;
    dialog.inviteBranch = branch;
    dialog.inviteCseq = cseqNumber;
    dialog.remoteCseq = cseqNumber;
  });
}

void CallLine::AdoptFarEnd(const SipMessage& response) {
  std::string_view to = response.FindLine(kToHeader);
  // Once connected, the far end is the one whose 2xx came first: a later
  // answer of another fork must not take the dialog over.
  if (to.empty() || state_ == CallState::Connected) return;
  dialog_.Update([to](DialogState& dialog) {
    dialog.lines.toLine = std::string(to);
    // A tag, once there is one, is the far end's for the rest of the call.
    if (std::string_view tag = HeaderParameter(to, "tag"); !tag.empty()) {
      dialog.farTag = tag;
      dialog.farTagKnown = true;
    }
  });
}

void CallLine::AdoptRemoteTarget(const SipMessage& message, bool reverseRoutes) {
  std::string_view contact = ContactUri(message);
  std::vector<std::string> routes = AddressEntries(HeaderLines(message, kRecordRouteHeader));
  // Our requests go toward us from the far end's view reversed: an answer's
  // Record-Route lists the proxies from the far end's side.
  if (reverseRoutes) std::reverse(routes.begin(), routes.end());
  dialog_.Update([&](DialogState& dialog) {
    if (contact.starts_with("sip:") && contact.find_first_of(" \t") == std::string_view::npos) {
      dialog.remoteTarget = contact.substr(4);
    }
    dialog.routeSet = std::move(routes);
  });
}

}  // namespace talvenor
