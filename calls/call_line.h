// One call on one line, as dispatch and the timer see it. The call flows
// provide the line itself.
#pragma once

#include <string>

namespace talvenor {

class SipMessage;

class CallLine {
public:
  virtual ~CallLine() = default;
  // The dialog's whole Call-ID line: the one the line sent, or the one
  // received in the INVITE that created it.
  virtual const std::string& CallIdLine() const = 0;
  // A request or response of this line's dialog, under ModuleLock.
  virtual void HandleInDialog(const SipMessage& message) = 0;
  // The 888 ms tick, under ModuleLock.
  virtual void Tick() = 0;
};

}  // namespace talvenor
