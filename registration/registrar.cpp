#include "registration/registrar.h"

#include <optional>

#include <fmt/printf.h>

#include "platform/clock.h"
#include "platform/endpoint.h"
#include "registration/digest.h"
#include "registration/guess_guard.h"
#include "registration/registration_book.h"
#include "registration/registration_list.h"
#include "sip/compose.h"
#include "sip/header_names.h"
#include "sip/recipes.h"
#include "sip/sip_message.h"
#include "sip/tokens.h"

namespace talvenor {

namespace {

// A response built from the request's own lines, sent back to its source.
void Answer(const SipChannel& channel, SipKind kind, const SipMessage& request, std::string_view extraLines) {
  channel.SendSip(ComposeStatelessResponse(kind, request, extraLines),
                  Ipv4Endpoint{request.SourceAddress(), request.SourcePort()});
}

constexpr int32_t kMinimumLifetime = 60;
// What is kept of a User-Agent and a display name: enough to tell phones
// apart, and a list of a thousand registrations stays small to rewrite.
constexpr size_t kUserAgentLimit = 128;
constexpr size_t kDisplayNameLimit = 128;
// Longer user ids are refused: a key is not cut.
constexpr size_t kUserLimit = 256;

// A tab or line end in a recorded field would shift or split the list line.
bool FitsAListField(std::string_view text) {
  return text.find_first_of(std::string_view("\t\r\n\0", 4)) == std::string_view::npos;
}

std::string_view Capped(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xc0) == 0x80) --cut;  // not inside a UTF-8 character
  return text.substr(0, cut);
}

std::string ContactLines(std::string_view key, uint32_t lifetime) {
  return fmt::sprintf("\r\nContact: <sip:%s>;expires=%u", key, lifetime);
}

// A REGISTER without Contact asks for the user's last binding.
void AnswerQuery(const SipChannel& channel, const SipMessage& request, std::string user, uint32_t lifetimeCap,
                 RegistrationBook& book) {
  uint32_t lifetime = book.FindByUser(user, '@', lifetimeCap);
  Answer(channel, kStatus200, request, lifetime != 0 ? ContactLines(user, lifetime) : std::string());
}

// The lifetime asked for: DefaultExpiration when none is given, capped at it;
// nothing when it is too short (answered 423).
std::optional<uint32_t> GrantedLifetime(const SipChannel& channel, const SipMessage& request,
                                        uint32_t defaultExpiration) {
  if (RegistrationExpiryText(request).empty()) return defaultExpiration;
  int32_t asked = RegistrationExpiry(request);
  if (asked == 0) return 0u;  // an unregistration
  if (asked < kMinimumLifetime) {
    Answer(channel, kStatus423, request, fmt::sprintf("\r\n%s: %u", "Min-Expires", kMinimumLifetime));
    return std::nullopt;
  }
  return std::min(static_cast<uint32_t>(asked), defaultExpiration);
}

// With authentication on: true when the request carries valid credentials
// for the current nonce, the realm we challenged with and its own request
// URI; otherwise the challenge or refusal has been sent, or nothing when the
// source is held back for guessing. `user` becomes the username the client
// authenticated as, which may name another account than the To line: the
// registration is recorded under it.
bool Authenticated(const SipChannel& channel, const SipMessage& request, std::string& user,
                   const std::string& localAddress, GuessGuard& guesses) {
  std::string_view authorization = request.FindLine(kAuthorizationHeader);
  if (!authorization.empty() && !guesses.MayVerify(request)) return false;
  uint32_t round = guesses.NonceRound(request.SourceAddress());
  std::string nonce = MakeNonce(request, round);
  if (!AnswersChallenge(authorization, nonce)) {
    Answer(channel, kStatus401, request, ChallengeFor(request, authorization, user, localAddress, nonce, round));
    return false;
  }
  DigestScope scope{ChallengeRealm(user, localAddress), std::string(RequestUri(request)), std::nullopt};
  SipKind status = VerifyScopedDigest(kRegister, scope, user, authorization, LookupPassword);
  if (status == 0) {
    guesses.Succeeded(request, user);
    return true;
  }
  if (status != kStatus400) guesses.Failed(request, user);
  Answer(channel, status, request, {});
  return false;
}

}  // namespace

// A new binding beyond the book's limits: refused, and told why.
constexpr std::string_view kOverLimitLines = "\r\nWarning: 399 talvenor \"Too many registrations\"";

void HandleRegister(const SipChannel& channel, const SipMessage& request, const RegistrarSettings& settings,
                    RegistrationBook& book, GuessGuard& guesses) {
  std::string user(RegistrationUser(request));
  // A quote in the user would end the quoted realm of its challenge early:
  // a REGISTER nobody could ever answer.
  if (user.empty() || user.size() > kUserLimit || user.find('"') != std::string::npos || request.FindLine(kFromHeader).empty() || request.FindLine(kCseqHeader).empty() ||
      request.FindLine(kCallIdHeader).empty()) {
    Answer(channel, kStatus400, request, {});
    return;
  }
  int64_t now = CalendarSeconds();
  bool authenticated = settings.authenticate;
  if (authenticated && !Authenticated(channel, request, user, settings.localAddress, guesses)) return;
  if (request.FindLine(kContactHeader).empty()) {
    AnswerQuery(channel, request, user, settings.defaultExpiration, book);
    return;
  }
  std::optional<uint32_t> lifetime = GrantedLifetime(channel, request, settings.defaultExpiration);
  if (!lifetime) return;
  // The key records where the request came from, not the Contact it names.
  std::string_view displayName = RegistrationDisplayName(request);
  std::string_view userAgent = UserAgentText(request);
  if (!FitsAListField(user) || !FitsAListField(displayName) || !FitsAListField(userAgent)) {
    Answer(channel, kStatus400, request, {});
    return;
  }
  std::string key = fmt::sprintf("%s@%s:%u", user, DottedAddress(request.SourceAddress()),
                                 HostPort(request.SourcePort()));
  std::string_view mark = authenticated ? kAuthenticatedMark : kUnauthenticatedMark;
  std::string line = fmt::sprintf("%s\t%s\t%u\t%u\t%s\t%s\t%s\n", key, mark, static_cast<uint32_t>(now), *lifetime,
                                  LocalDateText(now), Capped(displayName, kDisplayNameLimit),
                                  Capped(userAgent, kUserAgentLimit));
  std::string address(DottedAddress(request.SourceAddress()));
  RegistrationChange change{ToLower(key), address, std::move(line), *lifetime, settings.defaultExpiration, now};
  // Answered once the list holding it is on disk: a 200 is never lost to a
  // crash. Not recorded, the phone must not believe it is registered.
  Ipv4Endpoint source{request.SourceAddress(), request.SourcePort()};
  auto answer = [&channel, source, accepted = ComposeStatelessResponse(kStatus200, request, ContactLines(key, *lifetime)),
                 failed = ComposeStatelessResponse(kStatus500, request, {})](bool written) {
    channel.SendSip(written ? accepted : failed, source);
  };
  switch (book.Record(std::move(change), std::move(answer))) {
    case RegistrationBook::Outcome::Taken:
      return;
    case RegistrationBook::Outcome::OverLimit:
      Answer(channel, kStatus403, request, kOverLimitLines);
      return;
    case RegistrationBook::Outcome::Failed:
      Answer(channel, kStatus500, request, {});
      return;
  }
}

}  // namespace talvenor
