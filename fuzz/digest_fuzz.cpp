// Digest authentication on arbitrary header texts, from both sides: the
// registrar's and the INVITE check's verification of an Authorization line,
// and a gateway account answering a 401 or 407 challenge, whose REGISTER
// must then pass that same verification.
//
// Input: one flags byte, then up to five parts separated by line feeds:
//   an Authorization line, as a request would carry it;
//   a challenge header line (WWW-Authenticate or Proxy-Authenticate), as a
//   gateway's response would carry it;
//   the account's user id, its password and the gateway address.
//   flags bit 0: the gateway answers 407 (Proxy-Authenticate) instead of 401
//   flags bit 1: the request verified is an INVITE instead of a REGISTER
//   flags bit 2: SIP-PIN has the password for the user of the Authorization line
// Responses are checked against an MD5 worked out here with nettle, apart
// from the module's own.
#include <nettle/md5.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "config/module_settings.h"
#include "platform/clock.h"
#include "platform/endpoint.h"
#include "platform/message_box.h"
#include "registration/digest.h"
#include "registration/gateway_account.h"
#include "sip/header_names.h"
#include "sip/kind_table.h"
#include "sip/recipes.h"
#include "sip/sip_message.h"
#include "sip/tokens.h"

namespace {

using namespace talvenor;

constexpr std::string_view kEveryParameter[] = {"username", "realm", "nonce", "uri", "response",
                                                "opaque",   "qop",   "cnonce", "nc", "algorithm"};

std::string Md5Hex(std::string_view text) {
  md5_ctx context;
  md5_init(&context);
  md5_update(&context, text.size(), reinterpret_cast<const uint8_t*>(text.data()));
  uint8_t digest[MD5_DIGEST_SIZE];
  md5_digest(&context, sizeof digest, digest);
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (uint8_t byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0f];
  }
  return hex;
}

// MD5(MD5(user:realm:password):nonce:MD5(method:uri)), in lowercase hex;
// with a client nonce, qop=auth's MD5(HA1:nonce:00000001:cnonce:auth:HA2).
std::string ExpectedResponse(std::string_view user, std::string_view realm, std::string_view password,
                             std::string_view method, std::string_view uri, std::string_view nonce,
                             std::string_view clientNonce = {}) {
  std::string ha1 = Md5Hex(std::string(user) + ":" + std::string(realm) + ":" + std::string(password));
  std::string ha2 = Md5Hex(std::string(method) + ":" + std::string(uri));
  if (!clientNonce.empty()) {
    return Md5Hex(ha1 + ":" + std::string(nonce) + ":00000001:" + std::string(clientNonce) + ":auth:" + ha2);
  }
  return Md5Hex(ha1 + ":" + std::string(nonce) + ":" + ha2);
}

bool Inside(std::string_view part, std::string_view whole) {
  return part.empty() || (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

// What a gateway page lets through into a user id or address that goes
// between quotes: no quote, comma, line end or NUL.
std::string AsGatewayField(std::string_view text) {
  std::string field;
  for (char c : text) {
    if (c != '"' && c != ',' && c != '\r' && c != '\n' && c != '\0') field += c;
  }
  return field;
}

// The channel a gateway account sends its REGISTERs on, kept instead of sent.
class CapturingChannel final : public SipChannel {
public:
  long SendSip(std::string_view text, const Ipv4Endpoint&) const override {
    sent.emplace_back(text);
    return static_cast<long>(text.size());
  }
  uint16_t AdvertisedSipPort() const override { return 5060; }
  mutable std::vector<std::string> sent;
};

// The registrar's check of one Authorization line, against the password
// `pinPassword` (SIP-PIN has none when it is empty).
void CheckVerification(SipKind method, std::string_view line, const std::string& pinPassword) {
  for (std::string_view name : kEveryParameter) {
    std::string_view value = QuotedParameter(line, name);
    if (!Inside(value, line) || value.find('"') != std::string_view::npos) __builtin_trap();
  }
  int lookups = 0;
  std::string lookedUp;
  std::string user = "left over";
  SipKind status = VerifyDigest(method, user, line, [&](std::string_view userId) {
    ++lookups;
    lookedUp = userId;
    return pinPassword;
  });
  if (user != QuotedParameter(line, "username")) __builtin_trap();
  std::string_view realm = QuotedParameter(line, "realm");
  std::string_view nonce = QuotedParameter(line, "nonce");
  std::string_view uri = QuotedParameter(line, "uri");
  std::string_view response = QuotedParameter(line, "response");
  if (user.empty() || realm.empty() || nonce.empty() || uri.empty() || response.empty()) {
    if (status != kStatus400 || lookups != 0) __builtin_trap();
    return;
  }
  if (lookups != 1 || lookedUp != user) __builtin_trap();
  if (pinPassword.empty()) {
    if (status != kStatus404) __builtin_trap();
    return;
  }
  bool right = EqualsIgnoreCase(ExpectedResponse(user, realm, pinPassword, KindText(method), uri, nonce), response);
  if (status != (right ? 0 : kStatus403)) __builtin_trap();
}

// A client's answer made here from the line's values must pass; the same
// with one digit of the response changed must not.
void CheckRightAnswer(SipKind method, std::string_view line, const std::string& password) {
  std::string_view user = QuotedParameter(line, "username");
  std::string_view realm = QuotedParameter(line, "realm");
  std::string_view nonce = QuotedParameter(line, "nonce");
  std::string_view uri = QuotedParameter(line, "uri");
  if (user.empty() || realm.empty() || nonce.empty() || uri.empty() || password.empty()) return;
  std::string response = ExpectedResponse(user, realm, password, KindText(method), uri, nonce);
  auto answer = [&](std::string_view digits) {
    return std::string("Authorization: Digest username=\"") + std::string(user) + "\", realm=\"" +
           std::string(realm) + "\", nonce=\"" + std::string(nonce) + "\", uri=\"" + std::string(uri) +
           "\", response=\"" + std::string(digits) + "\"";
  };
  auto lookup = [&](std::string_view) { return password; };
  std::string name;
  std::string right = answer(response);
  if (VerifyDigest(method, name, right, lookup) != 0 || !AnswersChallenge(right, nonce)) __builtin_trap();
  std::string wrong = response;
  wrong[0] = wrong[0] == '0' ? '1' : '0';
  if (VerifyDigest(method, name, answer(wrong), lookup) != kStatus403) __builtin_trap();
}

// A challenge response from a gateway: the account's REGISTER that answers
// it carries credentials the registrar accepts.
void CheckGatewayAnswer(bool proxy, std::string_view challengeLine, const std::string& userId,
                        const std::string& password, const std::string& address) {
  // A line that starts with a blank continues the one before it: no header.
  if (challengeLine.starts_with(' ') || challengeLine.starts_with('\t')) return;
  std::string text = std::string(proxy ? "SIP/2.0 407 Proxy Authentication Required\r\n" : "SIP/2.0 401 Unauthorized\r\n") +
                     "Via: SIP/2.0/UDP 127.0.0.1:5060;branch=z9hG4bK-1\r\n"
                     "From: <sip:alice@gateway>;tag=1\r\n"
                     "To: <sip:alice@gateway>;tag=2\r\n"
                     "Call-ID: x\r\n"
                     "CSeq: 1 REGISTER\r\n" +
                     std::string(challengeLine) + "\r\nContent-Length: 0\r\n\r\n";
  SipMessage challenge(text, 0x0100007f, NetworkPort(5070));
  if (challenge.Kind() != (proxy ? kStatus407 : kStatus401)) __builtin_trap();
  CapturingChannel channel;
  std::recursive_mutex lock;
  GatewayAccount account(channel, lock, [] { return AccountSettings{kDefaultExpiration, "", ""}; },
                         GatewayFields{true, address, "", "", userId, password});
  account.callIdLine = "Call-ID: x";
  account.cseqLine = "CSeq: 1 REGISTER";
  account.branch = "z9hG4bK-1";  // the REGISTER's, echoed by the gateway's own address
  account.gatewayIp = 0x0100007f;
  account.OnGatewayResponse(challenge);
  const std::string& slot = proxy ? account.proxyAuthorizationLine : account.authorizationLine;
  std::string_view header = proxy ? kProxyAuthorizationHeader : kAuthorizationHeader;
  if (account.cseq != 2 || !std::string_view(slot).starts_with("\r\n" + std::string(header) + ": Digest ")) {
    __builtin_trap();
  }
  account.nextSend = 0;
  account.SendRegister(GatewayRoute{0, 0x0100007f, NetworkPort(5070), "127.0.0.1"});
  if (channel.sent.size() != 1) __builtin_trap();
  SipMessage request(channel.sent[0], 0x0100007f, NetworkPort(5060));
  if (request.Kind() != kRegister || request.FindLine(kCseqHeader) != "CSeq: 2 REGISTER") __builtin_trap();
  std::string_view line = request.FindLine(header);
  if (line != std::string_view(slot).substr(2)) __builtin_trap();

  std::string_view asked = challenge.FindLine(proxy ? kProxyAuthenticateHeader : kWwwAuthenticateHeader);
  std::string_view realm = QuotedParameter(asked, "realm");
  std::string_view nonce = QuotedParameter(asked, "nonce");
  std::string_view opaque = QuotedParameter(asked, "opaque");
  std::string uri = "sip:" + address;
  if (QuotedParameter(line, "username") != userId || QuotedParameter(line, "realm") != realm ||
      QuotedParameter(line, "nonce") != nonce || QuotedParameter(line, "uri") != uri ||
      QuotedParameter(line, "opaque") != opaque) {
    __builtin_trap();
  }
  // A challenge that offers qop="auth" is answered with it, under count 1.
  std::string_view clientNonce = QuotedParameter(line, "cnonce");
  if (!clientNonce.empty() && line.find(", qop=auth, nc=00000001, cnonce=\"") == std::string_view::npos) __builtin_trap();
  if (QuotedParameter(line, "response") !=
      ExpectedResponse(userId, realm, password, "REGISTER", uri, nonce, clientNonce)) {
    __builtin_trap();
  }
  // The server side answers without qop: it verifies only such answers.
  if (userId.empty() || realm.empty() || nonce.empty() || password.empty() || !clientNonce.empty()) return;
  std::string name;
  if (VerifyDigest(kRegister, name, line, [&](std::string_view) { return password; }) != 0) __builtin_trap();
  if (!AnswersChallenge(line, nonce)) __builtin_trap();
}

// The registrar's own challenge, answered by the client code, passes.
void CheckChallengeRoundTrip(SipKind method, const std::string& user, const std::string& password,
                             const std::string& address, int64_t now) {
  std::string fromLine = "From: <sip:" + user + "@127.0.0.1>;tag=9";
  std::string nonce = MakeNonceAt(now, 0x0100007f, NetworkPort(5062), fromLine);
  if (nonce.size() != 32 || nonce.find_first_not_of("0123456789abcdef") != std::string::npos) __builtin_trap();
  // The nonce holds for the four seconds of its window.
  if (MakeNonceAt(now & ~int64_t{3}, 0x0100007f, NetworkPort(5062), fromLine) != nonce ||
      MakeNonceAt(now | 3, 0x0100007f, NetworkPort(5062), fromLine) != nonce) {
    __builtin_trap();
  }
  std::string text = "SIP/2.0 401 Unauthorized\r\nCall-ID: y\r\nCSeq: 1 " + std::string(KindText(method)) +
                     ChallengeLines(user, "127.0.0.1", nonce) + "\r\nContent-Length: 0\r\n\r\n";
  SipMessage challenge(text, 0x0100007f, NetworkPort(5060));
  std::string line = CredentialsLine(challenge, kAuthorizationHeader, user, password, address).substr(2);
  if (QuotedParameter(line, "realm") != user + "@127.0.0.1") __builtin_trap();
  if (!AnswersChallenge(line, nonce)) __builtin_trap();
  std::string name;
  SipKind status = VerifyDigest(method, name, line, [&](std::string_view) { return password; });
  SipKind expected = user.empty() ? kStatus400 : password.empty() ? kStatus404 : 0;
  if (status != expected) __builtin_trap();
}

std::vector<std::string_view> Parts(std::string_view input, size_t count) {
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < count) {
    size_t end = input.find('\n');
    if (end == std::string_view::npos) break;
    parts.push_back(input.substr(0, end));
    input.remove_prefix(end + 1);
  }
  parts.push_back(input);
  parts.resize(count);
  return parts;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetMessageBackend([](int, const std::string&, MessageIcon) {});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096) return -1;
  uint8_t flags = data[0];
  std::vector<std::string_view> parts = Parts(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1), 5);
  bool proxy = (flags & 1) != 0;
  SipKind method = (flags & 2) ? kInvite : kRegister;
  std::string password(parts[3]);
  std::string pinPassword = (flags & 4) ? password : std::string();

  CheckVerification(method, parts[0], pinPassword);
  CheckRightAnswer(method, parts[0], password);
  std::string userId = AsGatewayField(parts[2]);
  std::string address = AsGatewayField(parts[4]);
  CheckGatewayAnswer(proxy, parts[1], userId, password, address);
  CheckChallengeRoundTrip(method, userId, password, address, CalendarSeconds() + flags);
  return 0;
}
