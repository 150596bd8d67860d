// Which source a call's RTP is heard from, and so where its own audio goes.
//
// The far end's SDP names the address and port of its media. A packet from
// exactly there is the far end's: it is taken at once, and from then on no
// other source ever is; it stays where the audio goes.
//
// Until that endpoint has sent, a far end behind NAT must still be heard: its
// SDP names its private address while its packets come from its public one
// (a host with two addresses does the same). Anyone else who can reach the
// port (a stranger on the same NAT, a spoofed source) must not take the call
// that way, so another source is taken only after a run of packets from it
// and nothing else in between, all of one SSRC and of a payload type the call
// takes: a run of 3 from another port of the SDP's address, of 10 from any
// other address. Any other packet breaks the run; the packets of a run are
// not played. A source taken after its run keeps the call until the SDP's own
// endpoint sends, which then takes over for good.
//
// A new SDP (the media moved, or a re-INVITE) starts over; a source that had
// passed its run for the same SDP endpoint is taken again at once.
#pragma once

#include <cstdint>

#include "platform/endpoint.h"

namespace talvenor {

class RtpSourceLatch {
public:
  static constexpr int kRunFromSdpAddress = 3;
  static constexpr int kRunFromElsewhere = 10;

  enum class Verdict {
    Refuse,  // not the far end's (or not yet): not played
    Hear,    // from the source already taken
    Take,    // heard, and the source taken: the call's audio goes there now
  };

  // A packet from `source`. `announced` is where the SDP says the media
  // comes from; `fresh`: nothing was taken since it was said (a new SDP).
  // `typeTaken`: its payload type is one the call takes.
  Verdict Judge(const Ipv4Endpoint& source, uint32_t ssrc, bool typeTaken, const Ipv4Endpoint& announced, bool fresh);

private:
  enum class State { Open, OnTrust, Final };
  struct Run {
    Ipv4Endpoint source;
    uint32_t ssrc = 0;
    int length = 0;
  };

  State state_ = State::Open;
  Ipv4Endpoint announced_;  // the SDP's endpoint this latch holds for
  Ipv4Endpoint taken_;
  Ipv4Endpoint proven_;  // passed its run for announced_ before a new SDP came
  Run run_;
};

}  // namespace talvenor
