// SIP messages for the tests, each over 150 bytes so the receive path takes it.
#pragma once

#include <string>

namespace testhelp {

// A request as a phone on 127.0.0.1 writes it: tests name the parts they change.
struct RequestParts {
  std::string method = "OPTIONS";
  std::string callId = "call-1";
  std::string extra{};  // lines before Content-Length, each ending in CR LF
  int cseq = 1;
  std::string uri = "sip:lab@127.0.0.1";
  std::string to = "<sip:lab@127.0.0.1>";
  std::string from = "\"Desk\" <sip:desk@127.0.0.1>;tag=7781";
  std::string via = "127.0.0.1:5099";
  std::string branch{};  // "z9hG4bK-" and the Call-ID when empty
  std::string body{};
};
std::string Request(const RequestParts& parts);
// A request of `method` with a Call-ID of its own.
std::string Request(const std::string& method, const std::string& callId, const std::string& extra = {},
                    int cseq = 1);
// A response with the given status line text ("487 Request Terminated").
std::string Response(const std::string& status, const std::string& callId, const std::string& cseqMethod = "INVITE",
                     int cseq = 1, const std::string& extra = {});

// The start line, without its CR LF.
std::string FirstLine(const std::string& text);
// The whole header line of `name` ("To: <sip:...>"), or empty.
std::string Header(const std::string& text, const std::string& name);
// A response to a request, as a far end writes it: its Via, From, Call-ID
// and CSeq, and its To with a tag added when it had none.
std::string Reply(const std::string& request, const std::string& status, const std::string& extra = {},
                  const std::string& body = {});

}  // namespace testhelp
