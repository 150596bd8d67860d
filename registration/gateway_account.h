// One of the three gateway accounts: the gateway's address, prefix and caller
// id for calls, and the account's registration with its gateway, driven by
// the 888 ms timer.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "registration/digest.h"
#include "sip/object_tag.h"
#include "sip/sip_channel.h"

namespace talvenor {

class SipMessage;

// Where an account's REGISTER goes and the local address it names. Worked
// out with name lookups, which may take seconds: never under ModuleLock.
struct GatewayRoute {
  int failure = 0;  // 0, or the message that stops the account (1010, 1011)
  uint32_t gatewayIp = 0;    // network order
  uint16_t gatewayPort = 0;  // network order
  std::string localAddress;  // dotted
};
// "host" or "host:port" (a missing or zero port is 5060); the local address
// is the interface toward the gateway when it sits in the gateway's /24,
// otherwise `configuredAddress` (the LocalAddress setting) when it resolves,
// otherwise the interface after all.
GatewayRoute FindGatewayRoute(const std::string& address, const std::string& configuredAddress);

// What an account takes of the module's settings. Asked for at each use:
// the options pages change them while the timer and receive thread run.
struct AccountSettings {
  uint16_t defaultExpiration = 0;  // the lifetime a registration asks for
  std::string localAddress;
  std::string displayName;
};
using AccountSettingsSource = std::function<AccountSettings()>;

struct GatewayFields {
  bool registering = false;
  std::string address;  // host or dotted address, optionally ":port"
  std::string prefix;
  std::string callerId;
  std::string userId;
  std::string password;
};

class GatewayAccount {
public:
  // `channel` carries the REGISTERs; `accountsLock` is ModuleLock, which
  // guards the accounts against the timer and the receive thread.
  GatewayAccount(const SipChannel& channel, std::recursive_mutex& accountsLock, AccountSettingsSource settings,
                 const GatewayFields& fields);

  // True when a REGISTER is due at this tick.
  bool IsDue() const;
  // Sends the due REGISTER, if any, along a route looked up beforehand;
  // called on every tick under ModuleLock.
  void SendRegister(const GatewayRoute& route);
  // The same, looking the route up first (slow: name lookups).
  void SendRegister();
  // Takes a response to this account's last REGISTER: its Call-ID, CSeq and
  // Via branch, from the gateway's address. Every other one is ignored, so a
  // stranger cannot stop or steer the account. Under ModuleLock, on the
  // receive thread.
  void OnGatewayResponse(const SipMessage& response);
  // The R check box: stops a running registration (unregisters), or starts
  // one after the credentials dialog was confirmed. The account is found
  // under the lock before the dialog and again after it, since a shutdown
  // meanwhile frees it; the finder gives null then.
  using AccountFinder = std::function<GatewayAccount*()>;
  static void ToggleRegistration(std::recursive_mutex& accountsLock, const AccountFinder& find);
  // The same for an account that outlives its dialog.
  void ToggleRegistration() {
    ToggleRegistration(accountsLock_, [this] { return this; });
  }
  // At shutdown: a registered account, or one still trying, unregisters
  // at the next ticks, and keeps its register flag for the next start-up.
  void UnregisterForShutdown();
  // The register flag to store: the attempts count of an account that is
  // registered or trying, 0 for one that is off or being unregistered by
  // its user.
  uint32_t RegisterFlag() const;
  // Keeps the challenge of a 401 or 407, fills its credentials slot with the
  // first answer and counts the CSeq up.
  void AnswerChallenge(const SipMessage& response, std::string_view headerName, DigestChallenge& challenge,
                       std::string& slot, uint16_t& cseqCounter);

  // Shown as registered on the Gateways page.
  bool ShowsRegistered() const { return attemptsLeft != 0 && expires != 0; }
  uint32_t Tag() const { return tag_.Value(); }

  uint16_t expires;
  int32_t attemptsLeft;  // 0 idle; otherwise transmissions left, plus one
  std::string address;
  std::string prefix;
  std::string callerId;
  std::string userId;
  std::string password;
  int64_t nextSend;       // calendar seconds; a REGISTER is due after it
  uint32_t gatewayIp = 0;     // network order
  uint16_t gatewayPort = 0;   // network order
  uint16_t cseq = 1;
  std::string callIdLine;
  std::string cseqLine;
  std::string branch;  // of the last REGISTER's Via: fresh for every one sent
  std::string authorizationLine;       // empty or "\r\nAuthorization: ..."
  std::string proxyAuthorizationLine;  // empty or "\r\nProxy-Authorization: ..."
  // The challenges those lines answer: with qop, each new REGISTER (not a
  // retransmission) answers again under the next nonce count.
  DigestChallenge authorizationChallenge;
  DigestChallenge proxyAuthorizationChallenge;

private:
  void Stop(int messageId);
  std::string ComposeRegister(const std::string& local);
  void OnRegistered(const SipMessage& response);
  void OnIntervalTooBrief(const SipMessage& response);

  std::optional<uint32_t> flagAtShutdown_;
  uint16_t branchCseq_ = 0;  // the CSeq `branch` was drawn for
  uint16_t answeredCseq_ = 0;  // the CSeq the credentials lines were worked out for
  const SipChannel& channel_;
  AccountSettingsSource settings_;
  std::recursive_mutex& accountsLock_;
  ObjectTag tag_;
};

// The "SIP Credentials" dialog: offers the account's user id (or its caller
// id when it has none) and password, and returns what the user confirmed
// with "Register", or nothing for Cancel. It writes nothing into the account
// itself: the account stores the answer under ModuleLock. The dialogs
// provide it; until one is installed every start counts as cancelled.
struct CredentialsOffer {
  std::string gateway;
  std::string userId;
  std::string password;
};
struct Credentials {
  std::string userId;
  std::string password;
};
using CredentialsDialog = std::function<std::optional<Credentials>(const CredentialsOffer& offer)>;
void SetCredentialsDialog(CredentialsDialog dialog);

}  // namespace talvenor
