#include "registration/digest.h"

#include <fmt/printf.h>

#include "platform/clock.h"
#include "registration/md5_digest.h"
#include "sip/header_names.h"
#include "sip/random_number.h"
#include "sip/recipes.h"
#include "sip/sip_message.h"
#include "sip/tokens.h"

namespace talvenor {

std::string DigestResponse(std::string_view user, std::string_view realm, std::string_view password,
                           std::string_view method, std::string_view uri, std::string_view nonce) {
  Md5Digest md5;
  std::string ha1(md5.Hex(fmt::sprintf("%s:%s:%s", user, realm, password)));
  std::string ha2(md5.Hex(fmt::sprintf("%s:%s", method, uri)));
  return std::string(md5.Hex(fmt::sprintf("%s:%s:%s", ha1, nonce, ha2)));
}

std::string DigestResponse(std::string_view user, std::string_view realm, std::string_view password,
                           std::string_view method, std::string_view uri, std::string_view nonce,
                           std::string_view nonceCount, std::string_view clientNonce) {
  Md5Digest md5;
  std::string ha1(md5.Hex(fmt::sprintf("%s:%s:%s", user, realm, password)));
  std::string ha2(md5.Hex(fmt::sprintf("%s:%s", method, uri)));
  return std::string(md5.Hex(fmt::sprintf("%s:%s:%s:%s:auth:%s", ha1, nonce, nonceCount, clientNonce, ha2)));
}

namespace {

// 'qop="auth,auth-int"' offers auth; 'qop="auth-int"' alone does not.
bool OffersQopAuth(std::string_view qopOptions) {
  for (int n = 0;; ++n) {
    std::string_view option = NthToken(qopOptions, ", \t", n);
    if (option.empty()) return false;
    if (EqualsIgnoreCase(option, "auth")) return true;
  }
}

}  // namespace

DigestChallenge ReadChallenge(const SipMessage& challenge) {
  // No fallback to the other header: a 407 without Proxy-Authenticate answers
  // an empty challenge.
  std::string_view challengeLine = challenge.Kind() == kStatus407 ? challenge.FindLine(kProxyAuthenticateHeader)
                                                                  : challenge.FindLine(kWwwAuthenticateHeader);
  DigestChallenge read;
  read.realm = QuotedParameter(challengeLine, "realm");
  read.nonce = QuotedParameter(challengeLine, "nonce");
  read.opaque = QuotedParameter(challengeLine, "opaque");
  read.qopAuth = OffersQopAuth(QuotedParameter(challengeLine, "qop"));
  if (read.qopAuth) read.clientNonce = fmt::sprintf("%08x%08x", RandomNumber(), RandomNumber());
  return read;
}

std::string AnswerLine(DigestChallenge& challenge, std::string_view headerName, std::string_view method,
                       std::string_view userId, std::string_view password, std::string_view requestTarget) {
  std::string uri = fmt::sprintf("sip:%s", requestTarget);
  std::string line = fmt::sprintf("\r\n%s: %s %s=\"%s\", %s=\"%s\", %s=\"%s\", %s=\"%s\"", headerName, "Digest",
                                  "username", userId, "realm", challenge.realm, "nonce", challenge.nonce, "uri", uri);
  if (challenge.qopAuth) {
    std::string count = fmt::sprintf("%08x", ++challenge.count);
    line += fmt::sprintf(", response=\"%s\", qop=auth, nc=%s, cnonce=\"%s\"",
                         DigestResponse(userId, challenge.realm, password, method, uri, challenge.nonce, count,
                                        challenge.clientNonce),
                         count, challenge.clientNonce);
  } else {
    ++challenge.count;
    line += fmt::sprintf(", response=\"%s\"",
                         DigestResponse(userId, challenge.realm, password, method, uri, challenge.nonce));
  }
  if (!challenge.opaque.empty()) line += fmt::sprintf(", %s=\"%s\"", "opaque", challenge.opaque);
  return line;
}

std::string CredentialsLine(const SipMessage& challenge, std::string_view headerName, std::string_view userId,
                            std::string_view password, std::string_view requestTarget) {
  DigestChallenge read = ReadChallenge(challenge);
  return AnswerLine(read, headerName, CseqMethod(challenge), userId, password, requestTarget);
}

std::string MakeNonceAt(int64_t now, uint32_t sourceAddress, uint16_t sourcePort, std::string_view fromLine,
                        std::string_view secret, uint32_t round) {
  const auto* addressBytes = reinterpret_cast<const uint8_t*>(&sourceAddress);
  const auto* portBytes = reinterpret_cast<const uint8_t*>(&sourcePort);
  // The network-order bytes taken least significant first, whatever the host's order.
  uint32_t address = addressBytes[0] | (addressBytes[1] << 8) | (addressBytes[2] << 16) |
                     (static_cast<uint32_t>(addressBytes[3]) << 24);
  uint32_t port = portBytes[0] | (portBytes[1] << 8);
  uint64_t window = static_cast<uint64_t>(now) & ~uint64_t{3};  // changes every 4 seconds
  // The secret leads: extending a known nonce's input would need MD5's
  // padding, NUL bytes included, inside the From line, which no SIP line holds.
  std::string input = fmt::sprintf("%s:Time:%llx:%x:%x:%s", secret, static_cast<unsigned long long>(window), address,
                                   port, fromLine);
  if (round != 0) input += fmt::sprintf(":%x", round);
  Md5Digest md5;
  return std::string(md5.Hex(input));
}

std::string MakeNonce(const SipMessage& request, uint32_t round) {
  return MakeNonceAt(CalendarSeconds(), request.SourceAddress(), request.SourcePort(), request.FindLine(kFromHeader),
                     NonceSecret(), round);
}

std::string MakePreviousNonce(const SipMessage& request, uint32_t round) {
  return MakeNonceAt(CalendarSeconds() - 4, request.SourceAddress(), request.SourcePort(),
                     request.FindLine(kFromHeader), NonceSecret(), round);
}

bool AnswersChallenge(std::string_view authorizationLine, std::string_view nonce) {
  return !nonce.empty() && QuotedParameter(authorizationLine, "nonce") == nonce;
}

std::string ChallengeRealm(std::string_view user, std::string_view localAddress) {
  return fmt::sprintf("%s@%s", user, localAddress);
}

std::string ChallengeLines(std::string_view user, std::string_view localAddress, std::string_view nonce,
                           bool stale) {
  return fmt::sprintf("\r\n%s: %s %s=\"%s\", %s=\"%s\"%s", "WWW-Authenticate", "Digest", "realm",
                      ChallengeRealm(user, localAddress), "nonce", nonce, stale ? ", stale=true" : "");
}

std::string ChallengeFor(const SipMessage& request, std::string_view authorizationLine, std::string_view user,
                         std::string_view localAddress, std::string_view nonce, uint32_t round) {
  bool stale = !authorizationLine.empty() && AnswersChallenge(authorizationLine, MakePreviousNonce(request, round));
  return ChallengeLines(user, localAddress, nonce, stale);
}

std::string_view RequestUri(const SipMessage& request) { return NthToken(request.LineAt(0), " ", 1); }

namespace {

// The values of an Authorization line besides its username.
struct DigestAnswer {
  std::string_view realm;
  std::string_view nonce;
  std::string_view uri;
  std::string_view response;
};

// The answer when the line holds a username and all four values; `user`
// becomes the username either way.
std::optional<DigestAnswer> ReadAnswer(std::string_view authorizationLine, std::string& user) {
  user = std::string(QuotedParameter(authorizationLine, "username"));
  DigestAnswer answer{QuotedParameter(authorizationLine, "realm"), QuotedParameter(authorizationLine, "nonce"),
                      QuotedParameter(authorizationLine, "uri"), QuotedParameter(authorizationLine, "response")};
  bool complete = !user.empty() && !answer.realm.empty() && !answer.nonce.empty() && !answer.uri.empty() &&
                  !answer.response.empty();
  if (!complete) return std::nullopt;
  return answer;
}

SipKind CheckResponse(SipKind method, const std::string& user, const DigestAnswer& answer,
                      const PasswordLookup& lookupPassword) {
  std::string password = lookupPassword(user);
  if (password.empty()) return kStatus404;
  std::string expected = DigestResponse(user, answer.realm, password, KindText(method), answer.uri, answer.nonce);
  return EqualsIgnoreCase(expected, answer.response) ? 0 : kStatus403;
}

bool WithinScope(const DigestScope& scope, std::string_view user, const DigestAnswer& answer) {
  return answer.realm == scope.realm && answer.uri == scope.uri &&
         (!scope.user || EqualsIgnoreCase(*scope.user, user));
}

}  // namespace

SipKind VerifyDigest(SipKind method, std::string& user, std::string_view authorizationLine,
                     const PasswordLookup& lookupPassword) {
  std::optional<DigestAnswer> answer = ReadAnswer(authorizationLine, user);
  if (!answer) return kStatus400;
  return CheckResponse(method, user, *answer, lookupPassword);
}

SipKind VerifyScopedDigest(SipKind method, const DigestScope& scope, std::string& user,
                           std::string_view authorizationLine, const PasswordLookup& lookupPassword) {
  std::optional<DigestAnswer> answer = ReadAnswer(authorizationLine, user);
  if (!answer) return kStatus400;
  if (!WithinScope(scope, user, *answer)) return kStatus403;
  return CheckResponse(method, user, *answer, lookupPassword);
}

}  // namespace talvenor
