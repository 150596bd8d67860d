// The header names the module knows. Each is one fixed text that both finds
// a received line (as a case-insensitive line prefix) and writes a line of
// its own. "expires" is lower case: it is written as the Contact parameter,
// and as a line prefix it finds the Expires header.
#pragma once

#include <string_view>

namespace talvenor {

inline constexpr std::string_view kAuthorizationHeader = "Authorization";
inline constexpr std::string_view kCallIdHeader = "Call-ID";
inline constexpr std::string_view kContactHeader = "Contact";
inline constexpr std::string_view kContentLengthHeader = "Content-Length";
inline constexpr std::string_view kContentTypeHeader = "Content-Type";
inline constexpr std::string_view kCseqHeader = "CSeq";
inline constexpr std::string_view kExpiresName = "expires";
inline constexpr std::string_view kFromHeader = "From";
inline constexpr std::string_view kMinExpiresHeader = "Min-Expires";
inline constexpr std::string_view kProxyAuthenticateHeader = "Proxy-Authenticate";
inline constexpr std::string_view kProxyAuthorizationHeader = "Proxy-Authorization";
inline constexpr std::string_view kRecordRouteHeader = "Record-Route";
inline constexpr std::string_view kRequireHeader = "Require";
inline constexpr std::string_view kRouteHeader = "Route";
inline constexpr std::string_view kToHeader = "To";
inline constexpr std::string_view kUserAgentHeader = "User-Agent";
inline constexpr std::string_view kViaHeader = "Via";
inline constexpr std::string_view kViaCompactHeader = "v";
inline constexpr std::string_view kWwwAuthenticateHeader = "WWW-Authenticate";

// The compact forms of RFC 3261 7.3.3 that a peer may send in place of the
// long names above; whatever finds a long name finds its compact form too.
struct CompactHeaderName {
  std::string_view name;
  std::string_view compact;
};
inline constexpr CompactHeaderName kCompactHeaderNames[] = {
    {kCallIdHeader, "i"},        {kContactHeader, "m"}, {kContentLengthHeader, "l"},
    {kContentTypeHeader, "c"},   {kFromHeader, "f"},    {kToHeader, "t"},
    {kViaHeader, kViaCompactHeader},
};

// The compact form of a long header name, or empty when it has none.
constexpr std::string_view CompactFormOf(std::string_view name) {
  for (const CompactHeaderName& known : kCompactHeaderNames) {
    if (known.name.size() == name.size() && known.name == name) return known.compact;
  }
  return {};
}

// SDP body lines, found the same way.
inline constexpr std::string_view kSdpOriginPrefix = "o=";
inline constexpr std::string_view kSdpConnectionPrefix = "c=";
inline constexpr std::string_view kSdpAudioMediaPrefix = "m=audio";

}  // namespace talvenor
