#include "registration/gateway_account.h"

#include <fmt/printf.h>

#include <mutex>

#include "platform/clock.h"
#include "platform/endpoint.h"
#include "platform/message_box.h"
#include "platform/resolver.h"
#include "platform/secure_random.h"
#include "registration/digest.h"
#include "sip/call_id_number.h"
#include "sip/compose.h"
#include "sip/header_names.h"
#include "sip/recipes.h"
#include "sip/sip_message.h"
#include "sip/tokens.h"

namespace talvenor {

namespace {

constexpr int32_t kAttempts = 6;

struct DialogSlot {
  std::mutex mutex;
  CredentialsDialog dialog;
};

DialogSlot& Dialog() {
  static DialogSlot* slot = new DialogSlot;  // outlives static destruction, like the accounts
  return *slot;
}

// Message ids for the statuses that stop an account.
int FailureMessage(SipKind kind) {
  switch (kind) {
    case kStatus400: return 1017;
    case kStatus402: return 1018;
    case kStatus403: return 1019;
    case kStatus404: return 1020;
    case kStatus405: return 1021;
    case kStatus406: return 1022;
    default: return 1016;
  }
}

}  // namespace

void SetCredentialsDialog(CredentialsDialog dialog) {
  std::scoped_lock lock(Dialog().mutex);
  Dialog().dialog = std::move(dialog);
}

GatewayAccount::GatewayAccount(const SipChannel& channel, std::recursive_mutex& accountsLock,
                               AccountSettingsSource settings, const GatewayFields& fields)
    : expires(settings().defaultExpiration),
      attemptsLeft(fields.registering ? kAttempts : 0),
      address(fields.address),
      prefix(fields.prefix),
      callerId(fields.callerId),
      userId(fields.userId),
      password(fields.password),
      nextSend(CalendarSeconds()),
      channel_(channel),
      settings_(std::move(settings)),
      accountsLock_(accountsLock) {}

void GatewayAccount::Stop(int messageId) {
  attemptsLeft = 0;
  ShowMessageDetached(messageId, MessageIcon::Warning);
}

void GatewayAccount::UnregisterForShutdown() {
  flagAtShutdown_ = RegisterFlag();
  if (!ShowsRegistered()) return;
  expires = 0;
  nextSend = 0;
}

uint32_t GatewayAccount::RegisterFlag() const {
  if (flagAtShutdown_) return *flagAtShutdown_;
  return expires != 0 ? static_cast<uint32_t>(attemptsLeft) : 0;
}

bool GatewayAccount::IsDue() const { return attemptsLeft != 0 && CalendarSeconds() > nextSend; }

void GatewayAccount::SendRegister() {
  if (IsDue()) SendRegister(FindGatewayRoute(address, settings_().localAddress));
}

void GatewayAccount::SendRegister(const GatewayRoute& route) {
  if (!IsDue()) return;
  if (--attemptsLeft == 0) {
    ShowMessageDetached(1014, MessageIcon::Warning);
    return;
  }
  gatewayPort = route.gatewayPort;
  if (route.failure != 0) return Stop(route.failure);
  gatewayIp = route.gatewayIp;
  std::string text = ComposeRegister(route.localAddress);
  channel_.SendSip(text, Ipv4Endpoint{gatewayIp, gatewayPort});
}

GatewayRoute FindGatewayRoute(const std::string& address, const std::string& configuredAddress) {
  GatewayRoute route;
  size_t colon = address.find(':');
  int32_t port = colon == std::string::npos ? 0 : DecimalValue(std::string_view(address).substr(colon + 1));
  route.gatewayPort = NetworkPort(port == 0 ? kDefaultSipPort : static_cast<uint16_t>(port));
  route.gatewayIp = ResolveIpv4(address.substr(0, colon));
  if (route.gatewayIp == 0) {
    route.failure = 1010;
    return route;
  }
  uint32_t interface = LocalAddressToward(route.gatewayIp, route.gatewayPort);
  uint32_t chosen = interface;
  if (interface == 0 || !SameNetwork24(interface, route.gatewayIp)) {
    if (uint32_t configured = ResolveIpv4(configuredAddress); configured != 0) chosen = configured;
  }
  if (chosen == 0) {
    route.failure = 1011;
    return route;
  }
  route.localAddress = DottedAddress(chosen);
  return route;
}

std::string GatewayAccount::ComposeRegister(const std::string& local) {
  // The port the socket is bound to: a changed setting moves it only at the next start.
  std::string suffix = PortSuffix(channel_.AdvertisedSipPort());
  std::string displayName = settings_().displayName;
  std::string host = address.substr(0, address.find(':'));
  if (callIdLine.empty()) callIdLine = CallIdLine(NewCallIdNumber(), local);
  cseqLine = CseqLine(cseq, "REGISTER");
  // A branch nobody can guess, for each new CSeq: a response must echo it to
  // be taken. Retransmissions of a REGISTER keep theirs.
  if (branch.empty() || branchCseq_ != cseq) {
    branch = fmt::sprintf("%s%u.%08x%08x", kBranchPrefix, Tag(), SecureRandomNumber(), SecureRandomNumber());
    branchCseq_ = cseq;
  }
  if (answeredCseq_ != cseq) {
    // A new REGISTER under a challenge answered before: with qop its nonce
    // count moves on, as a server that counts them wants.
    if (!authorizationLine.empty() && authorizationChallenge.qopAuth) {
      authorizationLine = AnswerLine(authorizationChallenge, kAuthorizationHeader, "REGISTER", userId, password, address);
    }
    if (!proxyAuthorizationLine.empty() && proxyAuthorizationChallenge.qopAuth) {
      proxyAuthorizationLine =
          AnswerLine(proxyAuthorizationChallenge, kProxyAuthorizationHeader, "REGISTER", userId, password, address);
    }
    answeredCseq_ = cseq;
  }
  return fmt::sprintf("%s sip:%s %s\r\n%s\r\n%s\r\n%s\r\n%s\r\n%s\r\n%s\r\n%s%s%s\r\n%s\r\n%s: 0\r\n\r\n",
                      "REGISTER", address, "SIP/2.0", ViaLine(local, suffix, branch),
                      RegisterToLine(displayName, userId, host), RegisterFromLine(displayName, userId, host, Tag()),
                      callIdLine, cseqLine, kMaxForwardsLine, RegisterContactLine(userId, local, suffix, expires),
                      authorizationLine, proxyAuthorizationLine, UserAgentLine(), "Content-Length");
}

void GatewayAccount::OnGatewayResponse(const SipMessage& response) {
  if (attemptsLeft == 0 || !RegistrationResponseMatches(response, callIdLine, cseqLine)) return;
  if (branch.empty() || TopViaBranch(response) != branch || response.SourceAddress() != gatewayIp) return;
  SipKind kind = response.Kind();
  switch (kind) {
    case kStatus200: return OnRegistered(response);
    case kStatus401:
      return AnswerChallenge(response, kAuthorizationHeader, authorizationChallenge, authorizationLine, cseq);
    case kStatus407:
      return AnswerChallenge(response, kProxyAuthorizationHeader, proxyAuthorizationChallenge,
                             proxyAuthorizationLine, cseq);
    case kStatus423: return OnIntervalTooBrief(response);
    default: break;
  }
  // Table statuses from 300 to 513 stop the account; 1xx, 6xx and codes
  // outside the table leave it retransmitting.
  bool failure = IsStatusKind(kind) && KindText(kind) >= "300" && KindText(kind) <= "513";
  if (failure) Stop(FailureMessage(kind));
}

void GatewayAccount::AnswerChallenge(const SipMessage& response, std::string_view headerName,
                                     DigestChallenge& challenge, std::string& slot, uint16_t& cseqCounter) {
  challenge = ReadChallenge(response);
  slot = AnswerLine(challenge, headerName, "REGISTER", userId, password, address);
  answeredCseq_ = ++cseqCounter;
}

void GatewayAccount::OnRegistered(const SipMessage& response) {
  if (expires != 0) {
    // A 200 that names no lifetime grants the one asked for; taking it as 0
    // would send a REGISTER on every tick.
    uint16_t granted = RegistrationExpiryText(response).empty() ? expires
                                                                : static_cast<uint16_t>(RegistrationExpiry(response));
    nextSend = CalendarSeconds() + granted - 6;
    attemptsLeft = kAttempts;
  } else {
    attemptsLeft = 0;  // the unregistration went through
  }
  ++cseq;
}

void GatewayAccount::OnIntervalTooBrief(const SipMessage& response) {
  if (expires == 0) return;  // an unregistration asks for no interval: it stays one
  expires = static_cast<uint16_t>(MinExpires(response));
  if (expires != 0) {
    ++cseq;
  } else {
    Stop(1015);
  }
}

void GatewayAccount::ToggleRegistration(std::recursive_mutex& accountsLock, const AccountFinder& find) {
  CredentialsOffer offer;
  GatewayAccount* shown;
  {
    std::scoped_lock lock(accountsLock);
    GatewayAccount* account = shown = find();
    if (account == nullptr) return;
    if (account->attemptsLeft != 0) {
      account->expires = 0;  // the next tick unregisters
      account->nextSend = 0;
      return;
    }
    offer = {account->address, account->userId.empty() ? account->callerId : account->userId, account->password};
  }
  if (offer.gateway.empty()) {
    ShowMessage(1010, MessageIcon::Warning);
    return;
  }
  CredentialsDialog dialog;
  {
    std::scoped_lock lock(Dialog().mutex);
    dialog = Dialog().dialog;
  }
  if (!dialog) return;
  std::optional<Credentials> confirmed = dialog(offer);
  if (!confirmed) return;
  // Found again: a shutdown while the dialog was open frees the accounts,
  // and a new start makes others, which the answer is not for.
  std::scoped_lock lock(accountsLock);
  GatewayAccount* account = find();
  if (account == nullptr || account != shown) return;
  account->userId = confirmed->userId;
  account->password = confirmed->password;
  account->nextSend = 0;
  account->attemptsLeft = kAttempts;
  account->expires = account->settings_().defaultExpiration;
  account->proxyAuthorizationLine.clear();
  account->authorizationLine.clear();
  account->callIdLine.clear();
  account->branch.clear();
}

}  // namespace talvenor
