// SIP messages for the tests, each over 150 bytes so the receive path takes it.
#pragma once

#include <string>

namespace testhelp {

// A request of `method` with a Call-ID of its own; `extra` lines go before
// Content-Length, each ending in CR LF.
std::string Request(const std::string& method, const std::string& callId, const std::string& extra = {},
                    int cseq = 1);
// A response with the given status line text ("487 Request Terminated").
std::string Response(const std::string& status, const std::string& callId, const std::string& cseqMethod = "INVITE",
                     int cseq = 1, const std::string& extra = {});

}  // namespace testhelp
