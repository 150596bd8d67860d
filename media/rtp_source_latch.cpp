#include "media/rtp_source_latch.h"

namespace talvenor {

RtpSourceLatch::Verdict RtpSourceLatch::Judge(const Ipv4Endpoint& source, uint32_t ssrc, bool typeTaken,
                                              const Ipv4Endpoint& announced, bool fresh) {
  if (fresh) {
    if (state_ != State::Open) {
      // A new SDP since the source was taken: start over. The same far end
      // behind the same NAT (a hold and its resume) need not prove itself
      // again.
      proven_ = state_ == State::OnTrust ? taken_ : Ipv4Endpoint{};
      state_ = State::Open;
      run_ = {};
    }
    if (announced != announced_) proven_ = {};
    announced_ = announced;
  }
  if (source == announced_) {
    bool moved = state_ != State::Final;
    state_ = State::Final;
    taken_ = source;
    return moved ? Verdict::Take : Verdict::Hear;
  }
  if (state_ != State::Open) return source == taken_ && state_ == State::OnTrust ? Verdict::Hear : Verdict::Refuse;
  if (!typeTaken) {
    run_ = {};
    return Verdict::Refuse;
  }
  if (source == run_.source && ssrc == run_.ssrc && run_.length > 0) {
    ++run_.length;
  } else {
    run_ = {source, ssrc, 1};
  }
  int needed = source.address == announced_.address ? kRunFromSdpAddress : kRunFromElsewhere;
  if (source != proven_ && run_.length < needed) return Verdict::Refuse;
  state_ = State::OnTrust;
  taken_ = source;
  run_ = {};
  return Verdict::Take;
}

}  // namespace talvenor
