// One use of WinSock, started for as long as the object lives. WinSock
// counts its starts, so a socket or a name lookup holding one keeps working
// whatever the module's own start and clean-up do meanwhile (a call's RTP
// socket outlives the module's shutdown; tests use sockets without a module).
#pragma once

namespace talvenor {

class WinsockUse {
public:
  WinsockUse();
  ~WinsockUse();
  WinsockUse(const WinsockUse&) = delete;
  WinsockUse& operator=(const WinsockUse&) = delete;

  bool Started() const { return started_; }

private:
  bool started_ = false;
};

}  // namespace talvenor
