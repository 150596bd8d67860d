// Holds back online password guessing against our digest challenges
// (REGISTER, and INVITE when invites are authenticated). The rule:
// - A wrong answer (403, or 404 for a user without a password) is a failure,
//   counted for its source address and for the user it named. It also moves
//   the source's nonce round on: the nonce it answered is never current
//   again, so every guess costs a fresh challenge.
// - Five failures of a source within a minute make it wait 1 s; from then
//   on each failure makes it wait again, twice as long as the time before,
//   up to 60 s, until it has failed nothing for ten minutes after a wait.
//   While a source waits, every request of it that carries credentials is
//   dropped unanswered and unverified, and counts as a failure.
// - Five failures for one user within a minute, from any sources, make
//   every further source failing for that user wait at once.
// - Twenty failures of a source within ten minutes ban it: the ban action
//   that module/ hands in (the SIP-BAN list, when it is on).
// - A right answer from a source that is not waiting is never held back.
//   It clears that source's counts only when every failure counted named
//   the user it answered for (a mistyped password put right): one account
//   known to a guesser must not wipe its guesses at the others.
// Memory is bounded: at most kCapacity sources and as many users; entries
// quiet for ten minutes are forgotten, and a full table drops its quietest.
// Used under ModuleLock only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_map>

namespace talvenor {

class SipMessage;

class GuessGuard {
public:
  static constexpr int kFailuresBeforeWaiting = 5;
  static constexpr int64_t kWaitingWindowMs = 60'000;
  static constexpr int kFailuresBeforeBan = 20;
  static constexpr int64_t kBanWindowMs = 600'000;
  static constexpr int64_t kFirstWaitMs = 1'000;
  static constexpr int64_t kLongestWaitMs = 60'000;
  static constexpr size_t kCapacity = 4096;

  using Clock = std::function<int64_t()>;  // steady milliseconds
  using BanAction = std::function<void(const SipMessage& request)>;
  GuessGuard(Clock clock, BanAction ban) : clock_(std::move(clock)), ban_(std::move(ban)) {}

  // What the source's nonces hash besides time, address, port and From line.
  uint32_t NonceRound(uint32_t source) const;
  // Asked before a request carrying credentials is verified: false while
  // its source waits; the request is then counted and is to be dropped.
  bool MayVerify(const SipMessage& request);
  // A wrong answer naming `user`.
  void Failed(const SipMessage& request, std::string_view user);
  // A right answer for `user`.
  void Succeeded(const SipMessage& request, std::string_view user);
  // Forgets everything counted: a new run of the module starts afresh.
  void Clear();
  size_t SourcesKept() const { return sources_.size(); }

private:
  // Failures counted since `start`; a window older than its length starts anew.
  struct Window {
    int64_t start = 0;
    int failures = 0;
    int Add(int64_t now, int64_t length);
  };
  struct SourceRecord {
    Window recent;  // towards waiting
    Window lasting;  // towards the ban
    int64_t waitUntil = 0;
    int64_t nextWait = kFirstWaitMs;
    int64_t lastSeen = 0;
    uint32_t round = 0;
    size_t failedUser = 0;  // the user the ban window's failures named
    bool otherUsers = false;  // and whether any named another
  };
  struct UserRecord {
    Window recent;
    int64_t lastSeen = 0;
  };
  template <typename Map>
  static typename Map::mapped_type& Entry(Map& map, const typename Map::key_type& key, int64_t now);
  static size_t UserKey(std::string_view user);
  void CountTowardsBan(SourceRecord& record, const SipMessage& request, int64_t now);

  Clock clock_;
  BanAction ban_;
  std::unordered_map<uint32_t, SourceRecord> sources_;
  std::unordered_map<size_t, UserRecord> users_;  // by a hash of the lowercase name
};

}  // namespace talvenor
