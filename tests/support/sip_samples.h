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

// The whole header line of `name` ("To: <sip:...>"), or empty.
std::string Header(const std::string& text, const std::string& name);
// A response to a request, as a far end writes it: its Via, From, Call-ID
// and CSeq, and its To with a tag added when it had none.
std::string Reply(const std::string& request, const std::string& status, const std::string& extra = {},
                  const std::string& body = {});

}  // namespace testhelp
