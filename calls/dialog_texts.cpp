#include "calls/dialog_texts.h"

#include <fmt/printf.h>

#include <utility>

#include "sip/compose.h"
#include "sip/header_names.h"
#include "sip/recipes.h"
#include "sip/tokens.h"

namespace talvenor {

namespace {

// The line with another header name, its value unchanged.
std::string WithHeaderName(std::string_view line, std::string_view name) {
  size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string(line) : std::string(name) + std::string(line.substr(colon));
}

// A route URI with the lr parameter: 'sip:p1;lr' and 'sip:p1;lr=on;x'.
bool IsLooseRoute(std::string_view uri) {
  for (size_t at = uri.find(';'); at != std::string_view::npos; at = uri.find(';', at + 1)) {
    std::string_view parameter = uri.substr(at + 1, uri.find_first_of(";=", at + 1) - at - 1);
    if (EqualsIgnoreCase(parameter, "lr")) return true;
  }
  return false;
}

// The Route lines of a request within the dialog (RFC 3261 12.2.1.1). A
// first route without lr is a strict router: its URI takes the request
// URI's place (`requestTarget`, without "sip:"), and the remote target goes
// last among the Route lines.
std::string RouteLines(const std::vector<std::string>& routeSet, std::string& requestTarget) {
  std::string lines;
  auto next = routeSet.begin();
  std::string_view first = routeSet.empty() ? std::string_view{} : AddressUri(routeSet.front());
  bool strict = first.starts_with("sip:") && !IsLooseRoute(first);
  std::string remoteTarget;
  if (strict) {
    ++next;
    remoteTarget = std::exchange(requestTarget, std::string(first.substr(4)));
  }
  for (; next != routeSet.end(); ++next) lines += fmt::sprintf("\r\n%s: %s", kRouteHeader, *next);
  if (strict) lines += fmt::sprintf("\r\n%s: <sip:%s>", kRouteHeader, remoteTarget);
  return lines;
}

}  // namespace

ComposedRequest ComposeInCallRequest(DialogState& dialog, const RequestSender& sender, SipKind method,
                                     RequestScope scope, std::string_view toLine) {
  std::string_view methodName = KindText(method);
  bool inDialog = scope == RequestScope::Dialog;
  if (sender.incoming && method == kBye && !dialog.namesExchanged) {
    // Our BYE goes the other way: the caller's From is its To. Stored, so
    // a repeated BYE is not swapped back.
    std::string from = WithHeaderName(dialog.lines.toLine, kFromHeader);
    dialog.lines.fromLine = WithHeaderName(dialog.lines.fromLine, kToHeader);
    dialog.lines.toLine = std::move(from);
    dialog.namesExchanged = true;
  }
  if (method == kInvite) {
    dialog.inviteCseq = dialog.cseq;  // its answers are ours from now on
    dialog.inviteToLine = dialog.lines.toLine;
  }
  // An ACK carries its INVITE's number, and so does a CANCEL.
  bool ofTheInvite = (method == kAck || method == kCancel) && dialog.inviteCseq != 0;
  uint32_t number = ofTheInvite ? static_cast<uint32_t>(dialog.inviteCseq) : dialog.cseq;
  // The INVITE's transaction keeps one branch (CANCEL and the ACK of a
  // failure repeat it); every other request is a transaction of its own,
  // its branch told by number and method. All begin with our tag.
  char transaction = inDialog ? static_cast<char>(methodName[0] | 0x20) : 'i';
  std::string branch = !inDialog && number == 1
                           ? fmt::sprintf("%s%u", kBranchPrefix, sender.tag)
                           : fmt::sprintf("%s%u.%u%c", kBranchPrefix, sender.tag, number, transaction);
  std::string requestTarget = inDialog && !dialog.remoteTarget.empty() ? dialog.remoteTarget : dialog.target;
  std::string routes = inDialog ? RouteLines(dialog.routeSet, requestTarget) : std::string();
  // A CANCEL repeats its INVITE's To, which had no tag yet.
  if (toLine.empty()) {
    toLine = method == kCancel && !dialog.inviteToLine.empty() ? dialog.inviteToLine : dialog.lines.toLine;
  }
  std::string text = fmt::sprintf(
      "%s sip:%s %s\r\n%s\r\n%s\r\n%s\r\n%s\r\n%s: %u %s\r\n%s%s%s%s\r\n", methodName,
      requestTarget, kSipVersionText,
      ViaLine(dialog.localIp, PortSuffix(sender.sipPort), branch), toLine, dialog.lines.fromLine,
      dialog.lines.callIdLine, kCseqHeader, number, methodName, kMaxForwardsLine, routes, dialog.authorizationText,
      dialog.proxyAuthorizationText);
  return {std::move(text), inDialog ? DialogDestination(dialog) : dialog.sipPeer};
}

std::string ComposeInviteResponse(const DialogState& dialog, SipKind status) {
  const DialogLines& lines = dialog.lines;
  std::string recordRoutes = status != kStatus100 && KindText(status) < "300" && !lines.recordRouteLines.empty()
                                 ? lines.recordRouteLines + "\r\n"
                                 : std::string();
  return fmt::sprintf("%s %s %s\r\n%s\r\n%s%s\r\n%s\r\n%s\r\n%s\r\n", kSipVersionText, KindText(status),
                      ReasonPhrase(status), lines.viaLine, recordRoutes, lines.toLine, lines.fromLine,
                      lines.callIdLine, lines.cseqLine);
}

std::string ClosingLines(std::string_view extraText, bool userAgent, std::string_view body) {
  std::string text;
  if (!extraText.empty()) {
    text = userAgent ? fmt::sprintf("%s\r\n%s", extraText, UserAgentLine()) + "\r\n"
                     : fmt::sprintf("%s\r\n", extraText);
  }
  if (!body.empty()) text += fmt::sprintf("%s: application/sdp\r\n", "Content-Type");
  return text + fmt::sprintf("%s: %u\r\n\r\n%s", "Content-Length", body.size(), body);
}

Ipv4Endpoint DialogDestination(const DialogState& dialog) {
  // Loose routing: the first route's address. Only a dotted one is taken:
  // nothing here waits for a name lookup.
  if (dialog.routeSet.empty()) return dialog.sipPeer;
  std::string_view uri = AddressUri(dialog.routeSet.front());
  size_t at = uri.find('@');
  std::string_view hostPort = uri.substr(at == std::string_view::npos ? uri.find(':') + 1 : at + 1);
  hostPort = hostPort.substr(0, hostPort.find_first_of(";>"));
  std::string_view host = hostPort.substr(0, hostPort.find(':'));
  uint32_t address = ParseDottedAddress(host);
  if (address == 0) return dialog.sipPeer;
  int32_t port = host.size() < hostPort.size() ? DecimalValue(hostPort.substr(host.size() + 1)) : kDefaultSipPort;
  return {address, NetworkPort(port > 0 && port <= 65535 ? static_cast<uint16_t>(port) : kDefaultSipPort)};
}

}  // namespace talvenor
