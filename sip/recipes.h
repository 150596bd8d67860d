// The fixed ways in which handlers read values out of a received message.
// Each recipe finds one line and cuts one token out of it; a missing line or
// token gives an empty view or 0, and the handler that asked decides. Views
// point into the message (or the line passed in) and live as long as it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "sip/sip_message.h"

namespace talvenor {

// 'CSeq: 2 REGISTER' gives "REGISTER".
std::string_view CseqMethod(const SipMessage& message);

// 'CSeq: 2 REGISTER' gives 2.
int32_t CseqNumber(const SipMessage& message);

// 'From: "Desk" <sip:a@h;tag=x>;tag=77' with "tag" gives "77": a header
// parameter, after the bracketed address when there is one, up to the next
// ';', ',' or blank; the name is compared ignoring case. Empty when absent.
std::string_view HeaderParameter(std::string_view line, std::string_view name);
// The tag of the message's From or To line; empty when it has none.
std::string_view FromTag(const SipMessage& message);
std::string_view ToTag(const SipMessage& message);
// The branch of the topmost Via: 'Via: SIP/2.0/UDP h;branch=z9hG4bK7, ...'
// gives "z9hG4bK7".
std::string_view TopViaBranch(const SipMessage& message);

// Every line of the header `name` (or of its compact form: the one given,
// else the one header_names.h knows for it), in
// received order: the name before the colon is compared whole, ignoring
// case and blanks before the colon. 'Via: a', 'v: b' and 'VIA :c' are all Vias.
std::vector<std::string_view> HeaderLines(const SipMessage& message, std::string_view name,
                                          std::string_view compactName = {});
// Those lines joined with CR LF between them; empty when there is none.
std::string JoinedHeaderLines(const SipMessage& message, std::string_view name, std::string_view compactName = {});
// The values of header lines that hold comma-separated addresses, one entry
// each in order: 'Record-Route: <sip:p1;lr>, <sip:p2;lr>' gives
// "<sip:p1;lr>" and "<sip:p2;lr>". Commas inside <> or quotes do not split.
std::vector<std::string> AddressEntries(const std::vector<std::string_view>& lines);
// The URI of an address: '"A" <sip:a@h:5062;lr>;x=1' gives "sip:a@h:5062;lr";
// without brackets, up to the first ';' or blank.
std::string_view AddressUri(std::string_view entry);
// The URI of the Contact line: 'Contact: <sip:desk@10.0.0.7:5062>' gives
// "sip:desk@10.0.0.7:5062".
std::string_view ContactUri(const SipMessage& message);

// 'Require: 100rel, timer' gives "100rel, timer"; empty without a Require line.
std::string_view RequiredExtensions(const SipMessage& message);

// 'Min-Expires: 60' gives 60.
int32_t MinExpires(const SipMessage& message);

// 'Contact: <sip:a@h>;expires=3600' gives "expires=3600", else the Expires
// line 'Expires: 60'; empty when the message has neither.
std::string_view RegistrationExpiryText(const SipMessage& message);
// 'Contact: <sip:a@h>;expires=3600' gives 3600; 0 when neither is present.
int32_t RegistrationExpiry(const SipMessage& message);

// 'WWW-Authenticate: Digest realm="lab", nonce="5e1"' with "nonce" gives
// "5e1". A name counts only where it starts a parameter, right after
// "Digest" or a comma (blanks allowed) and followed by "=": a realm, user or
// address that contains "uri" or "opaque" reads nothing into them. Commas
// inside quotes belong to the value. An unquoted value, another scheme than
// Digest or a missing name gives "".
std::string_view QuotedParameter(std::string_view line, std::string_view name);

// 'c=IN IP4 10.0.0.5' gives "10.0.0.5".
std::string_view SdpConnectionAddress(const SipMessage& message);
// 'm=audio 49170 RTP/AVP 0 8' (the whole line).
std::string_view SdpMediaLine(const SipMessage& message);
// 'm=audio 49170 RTP/AVP 0 8' gives 49170.
int32_t SdpMediaPort(const SipMessage& message);
// 'm=audio 49170 RTP/AVP 0 8' gives "0" for index 0, "8" for 1, "" for 2.
std::string_view SdpPayloadTypeToken(std::string_view mediaLine, int index);
// 'm=audio 49170 RTP/AVP 0 8' gives {0, 8}: every token up to the first empty one.
std::vector<int32_t> SdpPayloadTypes(const SipMessage& message);

// 'To: <sip:lab@h:5070>;tag=9' gives "lab@h".
std::string_view StatelessAckTarget(const SipMessage& message);
// 'Contact: <sip:desk@10.0.0.7:5062>' gives "desk@10.0.0.7".
std::string_view RemoteTarget(const SipMessage& message);
// 'From: <sip:desk@h>;tag=1' gives "desk".
std::string_view CallerUser(const SipMessage& message);
// 'INVITE sip:lab@h SIP/2.0' gives "lab@h".
std::string_view CalledUserAndHost(const SipMessage& message);

// 'From: "Desk" <sip:a@h>' gives "Desk"; 'From: <sip:a@h>' gives "sip".
std::string_view DisplayNameToken(std::string_view line);
// 'From: "Desk" <sip:a@h>' gives "Desk"; 'From: <sip:a@h>' gives "" (a
// token "sip" in any case means the caller sent no name).
std::string_view CallerDisplayName(const SipMessage& message);

// 'To: "Desk" <sip:desk@h>' gives "Desk"; 'To: <sip:desk@h>' gives "sip",
// which the registrar keeps as it is.
std::string_view RegistrationDisplayName(const SipMessage& message);

// 'To: <sip:desk@h>' gives "desk"; empty when the To line has no "sip:".
std::string_view RegistrationUser(const SipMessage& message);
// 'User-Agent: Phone 1.0' gives "Phone 1.0".
std::string_view UserAgentText(const SipMessage& message);

// A message is looked for on a call line whose stored Call-ID line equals
// its own exactly: 'Call-Id: x' does not match 'Call-ID: x'. An empty line
// (a message without Call-ID, a line whose dialog is not built yet) never
// matches.
bool CallIdMatches(std::string_view key, std::string_view stored);
// A response belongs to a registration when its Call-ID and CSeq lines equal
// the stored ones ignoring case.
bool RegistrationResponseMatches(const SipMessage& response, std::string_view callIdLine,
                                 std::string_view cseqLine);

}  // namespace talvenor
