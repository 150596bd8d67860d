#include "tests/support/sip_samples.h"

namespace testhelp {

std::string Request(const RequestParts& parts) {
  std::string branch = parts.branch.empty() ? "z9hG4bK-" + parts.callId : parts.branch;
  return parts.method + " " + parts.uri + " SIP/2.0\r\n"
         "Via: SIP/2.0/UDP " + parts.via + ";branch=" + branch + "\r\n"
         "Max-Forwards: 70\r\n"
         "To: " + parts.to + "\r\n"
         "From: " + parts.from + "\r\n"
         "Call-ID: " + parts.callId + "\r\n"
         "CSeq: " + std::to_string(parts.cseq) + " " + parts.method + "\r\n" + parts.extra +
         "Content-Length: " + std::to_string(parts.body.size()) + "\r\n\r\n" + parts.body;
}

std::string Request(const std::string& method, const std::string& callId, const std::string& extra, int cseq) {
  return Request({.method = method, .callId = callId, .extra = extra, .cseq = cseq});
}

std::string Response(const std::string& status, const std::string& callId, const std::string& cseqMethod, int cseq,
                     const std::string& extra) {
  return "SIP/2.0 " + status + "\r\n"
         "Via: SIP/2.0/UDP 127.0.0.1:5099;branch=z9hG4bK-" + callId + "\r\n"
         "To: <sip:lab@127.0.0.1:5062>;tag=99\r\n"
         "From: \"Desk\" <sip:desk@127.0.0.1>;tag=7781\r\n"
         "Call-ID: " + callId + "\r\n"
         "CSeq: " + std::to_string(cseq) + " " + cseqMethod + "\r\n" + extra +
         "Content-Length: 0\r\n\r\n";
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\r')); }

std::string Header(const std::string& text, const std::string& name) {
  size_t start = text.find("\r\n" + name + ": ");
  return start == std::string::npos ? "" : text.substr(start + 2, text.find('\r', start + 2) - start - 2);
}

std::string Reply(const std::string& request, const std::string& status, const std::string& extra,
                  const std::string& body) {
  std::string to = Header(request, "To");
  if (to.find(";tag=") == std::string::npos) to += ";tag=far";
  return "SIP/2.0 " + status + "\r\n" + Header(request, "Via") + "\r\n" + to + "\r\n" + Header(request, "From") +
         "\r\n" + Header(request, "Call-ID") + "\r\n" + Header(request, "CSeq") + "\r\n" + extra +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace testhelp
