// Digest access authentication with MD5. The client answers 401/407
// challenges, with qop=auth, a client nonce and a nonce count when the
// challenge offers qop="auth" and without them otherwise; the server
// challenges without qop, with a nonce worked out anew for every request,
// and verifies the answer against the SIP-PIN list.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "registration/nonce_guard.h"
#include "sip/kind_table.h"

namespace talvenor {

class SipMessage;

// MD5hex(MD5hex(user:realm:password) ":" nonce ":" MD5hex(method:uri)).
std::string DigestResponse(std::string_view user, std::string_view realm, std::string_view password,
                           std::string_view method, std::string_view uri, std::string_view nonce);

// With qop=auth (RFC 2617 3.2.2.1): MD5hex(HA1 ":" nonce ":" nc ":" cnonce
// ":auth:" HA2), nc as 8 hex digits.
std::string DigestResponse(std::string_view user, std::string_view realm, std::string_view password,
                           std::string_view method, std::string_view uri, std::string_view nonce,
                           std::string_view nonceCount, std::string_view clientNonce);

// What a client keeps of one challenge (401 reads WWW-Authenticate, 407
// Proxy-Authenticate) to answer it, once for every request it sends under
// that nonce.
struct DigestChallenge {
  std::string realm;
  std::string nonce;
  std::string opaque;
  bool qopAuth = false;     // it offers qop="auth": every answer carries qop, nc and cnonce
  std::string clientNonce;  // ours, random, drawn when the challenge is read
  uint32_t count = 0;       // answers given under this nonce so far
};
DigestChallenge ReadChallenge(const SipMessage& challenge);

// The credentials line of the next request answering `challenge`, counting
// it: "\r\n<header>: Digest username=..., realm=..., nonce=..., uri=...,
// response=...[, qop=auth, nc=00000001, cnonce=...][, opaque=...]". The uri
// is the request's own: "sip:" and its target.
std::string AnswerLine(DigestChallenge& challenge, std::string_view headerName, std::string_view method,
                       std::string_view userId, std::string_view password, std::string_view requestTarget);

// The first answer to a challenge response, for the method of its CSeq.
std::string CredentialsLine(const SipMessage& challenge, std::string_view headerName, std::string_view userId,
                            std::string_view password, std::string_view requestTarget);

// The server's nonce for a request at calendar time `now`: MD5hex of
// "<secret>:Time:<now with two low bits cleared, hex>:<address>:<port>:<From line>",
// address and port as their network-order bytes read least significant first,
// and ":<round, hex>" after it once the source's round is not 0 (each wrong
// answer moves it on: see GuessGuard). Without the secret nobody can work
// out a nonce for a source they cannot receive at.
std::string MakeNonceAt(int64_t now, uint32_t sourceAddress, uint16_t sourcePort, std::string_view fromLine,
                        std::string_view secret = NonceSecret(), uint32_t round = 0);
// The request's current nonce, and the one of the 4-second window before.
std::string MakeNonce(const SipMessage& request, uint32_t round = 0);
std::string MakePreviousNonce(const SipMessage& request, uint32_t round);

// True when the Authorization line answers the challenge of `nonce`: its
// nonce parameter is that nonce. A line that only holds it elsewhere (a
// captured answer with the current nonce pasted on) is a replay.
bool AnswersChallenge(std::string_view authorizationLine, std::string_view nonce);

// The realm of our challenges: "user@LocalAddress".
std::string ChallengeRealm(std::string_view user, std::string_view localAddress);
// The extra header text of a 401 challenge, with that realm; `stale` adds
// stale=true: the answer only came too late for its nonce.
std::string ChallengeLines(std::string_view user, std::string_view localAddress, std::string_view nonce,
                           bool stale = false);
// The challenge for a request whose credentials do not answer `nonce`:
// stale=true when they answer the nonce of the window just ended at the same
// round, one that ran out rather than one a wrong answer spent.
std::string ChallengeFor(const SipMessage& request, std::string_view authorizationLine, std::string_view user,
                         std::string_view localAddress, std::string_view nonce, uint32_t round);

// 'INVITE sip:lab@10.0.0.2:5070 SIP/2.0' gives "sip:lab@10.0.0.2:5070".
std::string_view RequestUri(const SipMessage& request);

// Checks an Authorization line. `user` receives the username the client
// sent, whatever the result. Returns 0 when authentic, otherwise the kind of
// the status to answer: 400 (a value missing), 404 (no password for the
// user), 403 (wrong response).
using PasswordLookup = std::function<std::string(std::string_view userId)>;
SipKind VerifyDigest(SipKind method, std::string& user, std::string_view authorizationLine,
                     const PasswordLookup& lookupPassword);

// What an answer must name besides its nonce, so that it counts for one
// request only: the realm we challenged with, the request URI exactly as in
// the start line and, when set, the user (compared ignoring case, as SIP-PIN
// lookups are).
struct DigestScope {
  std::string realm;
  std::string uri;
  std::optional<std::string> user;
};
// VerifyDigest for an answer that must also lie within `scope`: one that
// names another realm, uri or user gets 403 before any password is looked up.
SipKind VerifyScopedDigest(SipKind method, const DigestScope& scope, std::string& user,
                           std::string_view authorizationLine, const PasswordLookup& lookupPassword);

}  // namespace talvenor
