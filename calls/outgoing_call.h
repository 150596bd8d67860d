// The setup of an outgoing call, on a thread of the line's own: where the
// call goes (a user registered here, a gateway, or the host in the target),
// its media, its header lines, and the INVITE repeated until the far end
// answers. Answers arrive through the line's in-dialog handler.
#pragma once

namespace talvenor {

class CallLine;

void RunOutgoingCall(CallLine& line);

}  // namespace talvenor
