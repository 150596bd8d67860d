#include "calls/outgoing_call.h"

#include <optional>
#include <string>

#include "calls/call_media.h"
#include "calls/call_info.h"
#include "calls/call_line.h"
#include "calls/call_timing.h"
#include "calls/peer_lookup.h"
#include "platform/resolver.h"
#include "registration/gateway_accounts.h"
#include "registration/registration_book.h"
#include "sip/compose.h"
#include "sip/tokens.h"

namespace talvenor {

namespace {

// What the call needs of a gateway account, copied while the accounts are
// guarded: they go at shutdown while the call may go on.
struct Gateway {
  std::string address;
  std::string prefix;
  std::string callerId;
  GatewayCredentials credentials;
};

std::optional<Gateway> Copy(const GatewayAccount* account) {
  if (account == nullptr) return std::nullopt;
  return Gateway{account->address, account->prefix, account->callerId,
                 {account->userId, account->password}};
}

std::string HostPart(const std::string& target) {
  size_t at = target.find('@');
  return at == std::string::npos ? target : target.substr(at + 1);
}

struct Destination {
  std::string target;
  std::string hostPart;
  std::optional<Gateway> gateway;
};

// Where the call goes; nothing when the target names nobody.
std::optional<Destination> FindDestination(CallLine& line) {
  Destination destination{line.Dialog().Snapshot().target, {}, {}};
  destination.hostPart = HostPart(destination.target);
  bool viaSelectedGateway = false;
  if (destination.hostPart.empty()) {
    // An empty target, or "@" alone, would match every registration.
    if (destination.target.empty() || destination.target == "@") return std::nullopt;
    std::string registered = destination.target;
    if (line.Context().Registrations().FindByUser(registered, '\0', line.Context().LongestRegistration()) != 0) {
      destination.target = registered;
      destination.hostPart = HostPart(registered);
    } else {
      viaSelectedGateway = true;
    }
  }
  std::unique_lock<std::recursive_mutex> lock;  // the accounts' guard
  if (!line.Context().LockLines(lock)) return std::nullopt;
  if (viaSelectedGateway) {
    destination.gateway = Copy(line.Context().Gateways().Current());
    if (!destination.gateway || destination.gateway->address.empty()) return std::nullopt;
    destination.target += destination.gateway->address;
    destination.hostPart = destination.gateway->address;
  } else {
    destination.gateway = Copy(line.Context().Gateways().FindByAddress(destination.hostPart));
  }
  return destination;
}

// The dialed number through a gateway: leading zeros give way to its prefix.
std::string WithPrefix(const std::string& target, const std::string& prefix) {
  if (prefix.empty()) return target;
  size_t digits = target.find_first_not_of('0');
  return prefix + (digits == std::string::npos ? std::string() : target.substr(digits));
}

// "host" or "host:port"; a missing or zero port is 5060.
Ipv4Endpoint ResolvePeer(const std::string& hostPart) {
  size_t colon = hostPart.find(':');
  int32_t port = colon == std::string::npos ? 0 : DecimalValue(std::string_view(hostPart).substr(colon + 1));
  uint32_t address = ResolveIpv4(hostPart.substr(0, colon));
  return {address, NetworkPort(port <= 0 || port > 65535 ? kDefaultSipPort : static_cast<uint16_t>(port))};
}

// CR, LF or NUL in a text from the host would end a header line early and
// let the text write lines of its own.
bool HostTextsAreClean(const CallLine& line) {
  constexpr std::string_view kLineBreaks("\r\n\0", 3);
  for (const std::string& text : {line.Dialog().Snapshot().target, line.userId, line.displayName, line.extraArgument}) {
    if (text.find_first_of(kLineBreaks) != std::string::npos) return false;
  }
  return true;
}

}  // namespace

void RunOutgoingCall(CallLine& line) {
  if (line.CallMode() != 0 || !HostTextsAreClean(line)) return line.FailEarly(kEndUnreachable);
  std::optional<Destination> destination = FindDestination(line);
  if (!destination) return line.FailEarly(kEndUnreachable);
  if (destination->gateway) destination->target = WithPrefix(destination->target, destination->gateway->prefix);
  line.Dialog().Update([&](DialogState& dialog) {
    if (destination->gateway) dialog.gateway = destination->gateway->credentials;
    dialog.target = destination->target;
  });
  Ipv4Endpoint peer = ResolvePeer(destination->hostPart);
  if (peer.address == 0) return line.FailEarly(kEndUnreachable);
  // The lookup may have taken seconds: a call ended meanwhile goes no further.
  if (line.Finished()) return;
  line.Dialog().Update([&](DialogState& dialog) { dialog.sipPeer = peer; });
  line.MediaState().rtpPeer.Replace(peer);  // until the answer's SDP says where
  OutgoingCallSettings settings = line.Context().SettingsForOutgoingCall();
  if (!OpenCallMedia(line.shared_from_this(), std::move(settings.media))) return line.FailEarly(kEndMediaError);
  if (line.Finished()) return;
  line.ShowCallInfo(SipInfoText(peer));
  StartPeerLookup(line.shared_from_this(), peer.address);

  std::string suffix = PortSuffix(line.Context().AdvertisedSipPort());
  std::string user = destination->gateway && !destination->gateway->callerId.empty() ? destination->gateway->callerId
                                                                                      : line.userId;
  std::string displayName = settings.displayName.empty() ? line.displayName : settings.displayName;
  std::string localIp;
  line.Dialog().Update([&](DialogState& dialog) {
    localIp = dialog.localIp;
    dialog.lines = DialogLines{};
    dialog.lines.toLine = InviteToLine(destination->target);
    dialog.lines.fromLine = InviteFromLine(displayName, user, settings.localAddress, line.Tag());
    // A random number of its own: a late BYE of an old call must not end a
    // new one, and a stranger must not be able to aim at this one.
    dialog.lines.callIdLine = CallIdLine(line.CallIdNumber(), dialog.localIp);
    dialog.namesExchanged = false;
  });
  std::string contact = InviteContactLine(localIp, suffix);

  CallTiming timing = CurrentCallTiming();
  for (int pass = 0; pass < timing.repetitions && !line.Finished(); ++pass) {
    if (line.AwaitingResponse()) line.SendInCallRequest(kInvite, contact, line.BuildSdp());
    line.PauseUnlessFinished(timing.repeatPause);
  }
  if (!line.Finished() && line.AwaitingResponse()) {
    line.SetEndReason(kEndNoResponse);
    line.Finish();
  }
}

}  // namespace talvenor
