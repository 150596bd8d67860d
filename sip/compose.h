// The text of every SIP line the module writes, and the two composers that
// answer or acknowledge a received message without dialog state. Pure text:
// the caller sends the result to the message's source address and port.
//
// Lines come back without their CR LF; the message formats of the senders
// put them together. Sent header lines stand in the order Via, To, From,
// Call-ID, CSeq, the sender's own lines, User-Agent, Content-Type,
// Content-Length.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sip/kind_table.h"
#include "sip/sip_message.h"

namespace talvenor {

inline constexpr uint16_t kDefaultSipPort = 5060;
inline constexpr std::string_view kSipVersionText = "SIP/2.0";
inline constexpr std::string_view kBranchPrefix = "z9hG4bK";
// Every request the module sends carries it after its CSeq line: peers
// refuse a request without one (400), however directly it reaches them.
inline constexpr std::string_view kMaxForwardsLine = "Max-Forwards: 70";

// ":5070" for SipPort 5070; empty for 5060, which a URI leaves unwritten.
std::string PortSuffix(uint16_t sipPort);

// 'Via: SIP/2.0/UDP 10.0.0.2:5070;branch=z9hG4bK1234;rport'
std::string ViaLine(std::string_view localAddress, std::string_view portSuffix, uint32_t tag);
// The same with a branch of the caller's: 'z9hG4bK1234.2b'.
std::string ViaLine(std::string_view localAddress, std::string_view portSuffix, std::string_view branch);

// '"Front Desk" ' with its trailing blank; empty for an empty name. Quotes
// and backslashes are left out.
std::string DisplayPart(std::string_view displayName);

// 'From: "Desk" <sip:desk@gw.example>;tag=1234'
std::string RegisterFromLine(std::string_view displayName, std::string_view user,
                             std::string_view gatewayHost, uint32_t tag);
// 'To: "Desk" <sip:desk@gw.example>'
std::string RegisterToLine(std::string_view displayName, std::string_view user,
                           std::string_view gatewayHost);
// 'From: "Desk" <sip:desk@10.0.0.2>;tag=1234'; 'From: <sip:10.0.0.2>;tag=1234'
// without name and user.
std::string InviteFromLine(std::string_view displayName, std::string_view user,
                           std::string_view localAddress, uint32_t tag);
// 'To: <sip:lab@10.0.0.9>'
std::string InviteToLine(std::string_view target);

// 'Call-ID: call-8000@10.0.0.2'
std::string CallIdLine(uint32_t number, std::string_view localAddress);
// 'CSeq: 2 INVITE'
std::string CseqLine(uint32_t number, std::string_view method);

// 'Contact: <sip:10.0.0.2:5070>' for an INVITE and its 200 answer.
std::string InviteContactLine(std::string_view localAddress, std::string_view portSuffix);
// 'Contact: <sip:desk@10.0.0.2:5070>;expires=3600'
std::string RegisterContactLine(std::string_view user, std::string_view localAddress,
                                std::string_view portSuffix, uint32_t expires);

// The extra line of a 420 refusal, naming what was required but is not
// supported here: '\r\nUnsupported: 100rel'.
std::string UnsupportedLines(std::string_view extensions);

// 'User-Agent: Talvenor 7.2'
std::string UserAgentLine();
// 'Content-Type: application/sdp' with its CR LF: written only before a body.
std::string ContentTypeLine();
// 'Content-Length: 17', the empty line, then the body; 'Content-Length: 0'
// and the empty line without one.
std::string ContentLengthAndBody(std::string_view body);

// The request's To line as a stateless answer carries it: with a tag
// (RFC 3261 8.2.6.2) where it has none: `tag` when given, else one worked
// out from the request's Call-ID, From tag and top Via branch, so that its
// repeats get the same one.
std::string StatelessToLine(const SipMessage& request, std::string_view tag = {});

// A response to a received request built from the request's own Via lines
// (all of them, in order, whatever their form), To (StatelessToLine), From,
// Call-ID and CSeq lines (copied as they are, an absent one as an empty
// line). extraLines is empty or one or more lines each led by CR LF.
std::string ComposeStatelessResponse(SipKind kind, const SipMessage& request,
                                     std::string_view extraLines, std::string_view toTag = {});
// The same with an SDP body (none when empty) and the To line as it is: for
// requests within a dialog, whose To already holds our tag.
std::string ComposeResponse(SipKind kind, const SipMessage& request, std::string_view extraLines,
                            std::string_view body);

// A request built from a received response's lines; it is only ever the ACK
// of a 487 that belongs to no call. The target is the To URI without port,
// and the CSeq number is always 1.
std::string ComposeRequestFromMessage(SipKind method, const SipMessage& response);

}  // namespace talvenor
