// Digest access authentication in its simplest form: MD5, no qop, no client
// nonce, no nonce count. The client answers 401/407 challenges; the server
// challenges with a nonce worked out anew for every request and verifies the
// answer against the SIP-PIN list.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "sip/kind_table.h"

namespace talvenor {

class SipMessage;

// MD5hex(MD5hex(user:realm:password) ":" nonce ":" MD5hex(method:uri)).
std::string DigestResponse(std::string_view user, std::string_view realm, std::string_view password,
                           std::string_view method, std::string_view uri, std::string_view nonce);

// The credentials line answering a challenge response (401 reads
// WWW-Authenticate, 407 Proxy-Authenticate): "\r\n<header>: Digest
// username=..., realm=..., nonce=..., uri=..., response=...[, opaque=...]".
// The uri is "sip:" and the gateway address as configured.
std::string CredentialsLine(const SipMessage& challenge, std::string_view headerName, std::string_view userId,
                            std::string_view password, std::string_view gatewayAddress);

// The server's nonce for a request at calendar time `now`: MD5hex of
// "Time:<now with two low bits cleared, hex>:<address>:<port>:<From line>",
// address and port as their network-order bytes read least significant first.
std::string MakeNonceAt(int64_t now, uint32_t sourceAddress, uint16_t sourcePort, std::string_view fromLine);
std::string MakeNonce(const SipMessage& request);

// True when the Authorization line answers the challenge of `nonce`: its
// nonce parameter is that nonce. A line that only holds it elsewhere (a
// captured answer with the current nonce pasted on) is a replay.
bool AnswersChallenge(std::string_view authorizationLine, std::string_view nonce);

// The extra header text of a 401 challenge: realm "user@LocalAddress".
std::string ChallengeLines(std::string_view user, std::string_view localAddress, std::string_view nonce);

// Checks an Authorization line. `user` receives the username the client
// sent, whatever the result. Returns 0 when authentic, otherwise the kind of
// the status to answer: 400 (a value missing), 404 (no password for the
// user), 403 (wrong response).
using PasswordLookup = std::function<std::string(std::string_view userId)>;
SipKind VerifyDigest(SipKind method, std::string& user, std::string_view authorizationLine,
                     const PasswordLookup& lookupPassword);

}  // namespace talvenor
