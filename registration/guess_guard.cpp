#include "registration/guess_guard.h"

#include <algorithm>
#include <string>

#include "sip/sip_message.h"
#include "sip/tokens.h"

namespace talvenor {

int GuessGuard::Window::Add(int64_t now, int64_t length) {
  if (failures == 0 || now - start > length) {
    start = now;
    failures = 0;
  }
  return ++failures;
}

template <typename Map>
typename Map::mapped_type& GuessGuard::Entry(Map& map, const typename Map::key_type& key, int64_t now) {
  if (auto found = map.find(key); found != map.end()) return found->second;
  if (map.size() >= kCapacity) {
    std::erase_if(map, [now](const auto& entry) { return now - entry.second.lastSeen > kBanWindowMs; });
  }
  if (map.size() >= kCapacity) {
    auto quietest = std::min_element(map.begin(), map.end(), [](const auto& a, const auto& b) {
      return a.second.lastSeen < b.second.lastSeen;
    });
    map.erase(quietest);
  }
  return map[key];
}

uint32_t GuessGuard::NonceRound(uint32_t source) const {
  auto found = sources_.find(source);
  return found != sources_.end() ? found->second.round : 0;
}

bool GuessGuard::MayVerify(const SipMessage& request) {
  auto found = sources_.find(request.SourceAddress());
  if (found == sources_.end()) return true;
  int64_t now = clock_();
  SourceRecord& record = found->second;
  if (now >= record.waitUntil) return true;
  record.lastSeen = now;
  CountTowardsBan(record, request, now);
  return false;
}

void GuessGuard::Failed(const SipMessage& request, std::string_view user) {
  int64_t now = clock_();
  SourceRecord& source = Entry(sources_, request.SourceAddress(), now);
  source.lastSeen = now;
  ++source.round;
  size_t userKey = UserKey(user);
  if (source.lasting.failures == 0 || now - source.lasting.start > kBanWindowMs) {
    source.failedUser = userKey;
    source.otherUsers = false;
  } else if (source.failedUser != userKey) {
    source.otherUsers = true;
  }
  UserRecord& named = Entry(users_, userKey, now);
  named.lastSeen = now;
  bool userUnderAttack = named.recent.Add(now, kWaitingWindowMs) > kFailuresBeforeWaiting;
  // Once made to wait, a source waits after every failure until it has
  // kept quiet for the ban window.
  bool waitedLately = source.waitUntil != 0 && now - source.waitUntil <= kBanWindowMs;
  if (!waitedLately) source.nextWait = kFirstWaitMs;
  if (source.recent.Add(now, kWaitingWindowMs) >= kFailuresBeforeWaiting || waitedLately || userUnderAttack) {
    source.waitUntil = now + source.nextWait;
    source.nextWait = std::min(source.nextWait * 2, kLongestWaitMs);
  }
  CountTowardsBan(source, request, now);
}

void GuessGuard::Succeeded(const SipMessage& request, std::string_view user) {
  auto found = sources_.find(request.SourceAddress());
  if (found == sources_.end()) return;
  // The round stays: a nonce a wrong answer spent must not come back.
  SourceRecord& record = found->second;
  if (record.lasting.failures != 0 && (record.otherUsers || record.failedUser != UserKey(user))) return;
  record.recent = {};
  record.lasting = {};
  record.waitUntil = 0;
  record.nextWait = kFirstWaitMs;
}

size_t GuessGuard::UserKey(std::string_view user) { return std::hash<std::string>()(ToLower(user)); }

void GuessGuard::Clear() {
  sources_.clear();
  users_.clear();
}

void GuessGuard::CountTowardsBan(SourceRecord& record, const SipMessage& request, int64_t now) {
  if (record.lasting.Add(now, kBanWindowMs) >= kFailuresBeforeBan) ban_(request);
}

}  // namespace talvenor
