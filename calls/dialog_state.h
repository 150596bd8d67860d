// The SIP dialog of one call as a plain value: the header lines it repeats,
// both tags, the CSeq numbers of both ends, where our requests go and the
// state of a new offer. A line keeps it in a LockedValue<DialogState>: every
// reader takes a copy, every change is one update under its lock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/endpoint.h"

namespace talvenor {

// What a call through a gateway needs of its account, copied when the call
// starts: the accounts go at shutdown while lines may live on.
struct GatewayCredentials {
  std::string userId;
  std::string password;
};

// The header lines a dialog repeats, each whole with its header name.
struct DialogLines {
  std::string viaLine;  // incoming: every Via line of the caller's INVITE, joined by CR LF
  std::string recordRouteLines;  // incoming: the INVITE's Record-Route lines, likewise
  std::string toLine;
  std::string fromLine;
  std::string callIdLine;
  std::string cseqLine;  // of the received INVITE, repeated in every response
};

struct DialogState {
  DialogLines lines;
  std::string target;    // user "@" host [":" port]: the INVITE's request URI without "sip:"
  Ipv4Endpoint sipPeer;  // where the INVITE, its CANCEL and our responses go
  std::string localIp;   // ours in Via, Contact and SDP, as the media chose it

  std::string farTag;
  bool farTagKnown = false;  // an outgoing call learns it from the first answer with a tag
  std::string inviteBranch;  // incoming: the topmost Via branch of the caller's INVITE
  std::string inviteToLine;  // outgoing: the To line of our INVITE, which its CANCEL repeats
  std::string remoteTarget;  // the far end's Contact without "sip:"; empty: the INVITE's target
  std::vector<std::string> routeSet;  // "<sip:proxy;lr>" entries, the first one nearest
  bool namesExchanged = false;  // an incoming line's BYE swaps From and To once

  uint16_t cseq = 1;           // our latest request's number
  int32_t inviteCseq = 0;      // the caller's INVITE, or the last INVITE we sent (0: none)
  int32_t remoteCseq = 0;      // the far end's last request number
  int32_t pendingAckCseq = 0;  // a re-INVITE whose 200 waits for its ACK (0: none)
  bool offerPending = false;   // our 200 (to the INVITE or that re-INVITE) made the offer: the ACK answers it
  unsigned sdpVersion = 1;     // the o= version of our latest SDP: up by one with each new one
  std::vector<std::string> offeredStreams;  // the m= lines of the far end's latest offer

  // A gateway call's account, and the credentials its challenges drew.
  std::optional<GatewayCredentials> gateway;
  std::string authorizationText;
  std::string proxyAuthorizationText;
};

}  // namespace talvenor
