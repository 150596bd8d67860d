#include "sip/compose.h"

#include <fmt/printf.h>

#include "sip/header_names.h"
#include "sip/recipes.h"

namespace talvenor {
namespace {

constexpr std::string_view kProductName = "Talvenor";
constexpr std::string_view kProductVersion = " " TALVENOR_VERSION;  // the project's, from the build

}  // namespace

std::string PortSuffix(uint16_t sipPort) {
  return sipPort == kDefaultSipPort ? std::string{} : fmt::sprintf(":%u", sipPort);
}

std::string ViaLine(std::string_view localAddress, std::string_view portSuffix, uint32_t tag) {
  return ViaLine(localAddress, portSuffix, fmt::sprintf("%s%u", kBranchPrefix, tag));
}

std::string ViaLine(std::string_view localAddress, std::string_view portSuffix, std::string_view branch) {
  // rport: answers come back to the port we sent from, through any NAT.
  return fmt::sprintf("%s: SIP/2.0/UDP %s%s;branch=%s;rport", kViaHeader, localAddress, portSuffix, branch);
}

std::string DisplayPart(std::string_view displayName) {
  // A quote or backslash would end the quoted name early or escape its end.
  std::string name(displayName);
  std::erase_if(name, [](char c) { return c == '"' || c == '\\'; });
  return name.empty() ? std::string{} : fmt::sprintf("\"%s\" ", name);
}

std::string RegisterFromLine(std::string_view displayName, std::string_view user,
                             std::string_view gatewayHost, uint32_t tag) {
  return fmt::sprintf("%s: %s<sip:%s@%s>;tag=%u", kFromHeader, DisplayPart(displayName), user,
                      gatewayHost, tag);
}

std::string RegisterToLine(std::string_view displayName, std::string_view user,
                           std::string_view gatewayHost) {
  return fmt::sprintf("%s: %s<sip:%s@%s>", kToHeader, DisplayPart(displayName), user,
                      gatewayHost);
}

std::string InviteFromLine(std::string_view displayName, std::string_view user,
                           std::string_view localAddress, uint32_t tag) {
  std::string userPart = user.empty() ? std::string{} : std::string(user) + "@";
  return fmt::sprintf("%s: %s<sip:%s%s>;tag=%u", kFromHeader, DisplayPart(displayName), userPart,
                      localAddress, tag);
}

std::string InviteToLine(std::string_view target) {
  return fmt::sprintf("%s: <sip:%s>", kToHeader, target);
}

std::string CallIdLine(uint32_t number, std::string_view localAddress) {
  return fmt::sprintf("%s: call-%u@%s", kCallIdHeader, number, localAddress);
}

std::string CseqLine(uint32_t number, std::string_view method) {
  return fmt::sprintf("%s: %u %s", kCseqHeader, number, method);
}

std::string InviteContactLine(std::string_view localAddress, std::string_view portSuffix) {
  return fmt::sprintf("%s: <sip:%s%s>", kContactHeader, localAddress, portSuffix);
}

std::string RegisterContactLine(std::string_view user, std::string_view localAddress,
                                std::string_view portSuffix, uint32_t expires) {
  return fmt::sprintf("%s: <sip:%s@%s%s>;%s=%u", kContactHeader, user, localAddress, portSuffix,
                      kExpiresName, expires);
}

std::string UnsupportedLines(std::string_view extensions) {
  return fmt::sprintf("\r\nUnsupported: %s", extensions);
}

std::string UserAgentLine() {
  return fmt::sprintf("%s: %s%s", kUserAgentHeader, kProductName, kProductVersion);
}

std::string ContentTypeLine() {
  return fmt::sprintf("%s: application/sdp\r\n", kContentTypeHeader);
}

std::string ContentLengthAndBody(std::string_view body) {
  if (body.empty()) {
    return fmt::sprintf("%s: 0\r\n\r\n", kContentLengthHeader);
  }
  return fmt::sprintf("%s: %u\r\n\r\n%s", kContentLengthHeader,
                      static_cast<uint32_t>(body.size()), body);
}

namespace {

std::string ComposeResponseWithTo(SipKind kind, const SipMessage& request, std::string_view toLine,
                                  std::string_view extraLines, std::string_view body) {
  // Every Via, in order: each proxy on the way takes its own off the answer.
  return fmt::sprintf("%s %s %s\r\n%s\r\n%s\r\n%s\r\n%s\r\n%s%s\r\n%s%s",
                      kSipVersionText, KindText(kind), ReasonPhrase(kind),
                      JoinedHeaderLines(request, kViaHeader, kViaCompactHeader), toLine,
                      request.FindLine(kFromHeader), request.FindLine(kCallIdHeader),
                      request.FindLine(kCseqHeader), extraLines, body.empty() ? "" : ContentTypeLine(),
                      ContentLengthAndBody(body));
}

}  // namespace

std::string StatelessToLine(const SipMessage& request, std::string_view tag) {
  std::string_view to = request.FindLine(kToHeader);
  if (to.empty() || !HeaderParameter(to, "tag").empty()) return std::string(to);
  if (!tag.empty()) return fmt::sprintf("%s;tag=%s", to, tag);
  // FNV-1a over what names the request: the same request, repeated, gets
  // the same tag, without anything kept between the two answers.
  uint32_t hash = 2166136261u;
  for (std::string_view part : {request.FindLine(kCallIdHeader), FromTag(request), TopViaBranch(request)}) {
    for (char c : part) hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
  }
  return fmt::sprintf("%s;tag=%08x", to, hash);
}

std::string ComposeStatelessResponse(SipKind kind, const SipMessage& request,
                                     std::string_view extraLines, std::string_view toTag) {
  return ComposeResponseWithTo(kind, request, StatelessToLine(request, toTag), extraLines, {});
}

std::string ComposeResponse(SipKind kind, const SipMessage& request, std::string_view extraLines,
                            std::string_view body) {
  return ComposeResponseWithTo(kind, request, request.FindLine(kToHeader), extraLines, body);
}

std::string ComposeRequestFromMessage(SipKind method, const SipMessage& response) {
  std::string_view name = KindText(method);
  return fmt::sprintf("%s sip:%s %s\r\n%s\r\n%s\r\n%s\r\n%s\r\n%s: 1 %s\r\n%s\r\n%s: 0\r\n\r\n", name,
                      StatelessAckTarget(response), kSipVersionText, response.FindLine(kViaHeader),
                      response.FindLine(kToHeader), response.FindLine(kFromHeader),
                      response.FindLine(kCallIdHeader), kCseqHeader, name, kMaxForwardsLine, kContentLengthHeader);
}

}  // namespace talvenor
