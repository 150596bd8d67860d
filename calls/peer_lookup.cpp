#include "calls/peer_lookup.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "calls/call_info.h"
#include "calls/call_line.h"
#include "platform/clock.h"
#include "platform/endpoint.h"
#include "platform/resolver.h"

namespace talvenor {

namespace {

// Lookups waiting for the worker; one more is skipped. A resolver that hangs
// holds back 16 calls' names at most, never more threads.
constexpr size_t kQueueLimit = 16;
// Answers kept, names and "no name" alike; the oldest goes first.
constexpr size_t kCacheLimit = 64;
constexpr uint32_t kCacheAgeMilliseconds = 5 * 60 * 1000;
// An idle worker waits this long for more before it ends, so that calls
// coming in a burst share one thread rather than start one each.
constexpr auto kIdleLinger = std::chrono::seconds(2);

thread_local bool onWorker = false;

struct PendingLookup {
  std::weak_ptr<CallLine> line;
  uint32_t address = 0;
};

struct KnownName {
  uint32_t address = 0;
  std::string name;  // empty: the address has none
  uint32_t storedAt = 0;
};

// The name of an address for display; empty when it has none.
std::string LookUpName(uint32_t address) {
  std::string name = ReverseLookup(address);
  return name == DottedAddress(address) ? std::string() : name;
}

void ShowPeerName(CallLine& line, const std::string& name) {
  if (name.empty()) return;  // no name: nothing to add
  std::string text = line.Info().Update([&](ShownInfo& info) {
    info.peerHostName = name;
    return info.text;
  });
  line.ShowCallInfo(WithPeerName(text, name));
}

class PeerLookups {
public:
  void Start(std::shared_ptr<CallLine> line, uint32_t address) {
    if (!line) return;
    std::optional<std::string> known;
    {
      std::scoped_lock lock(mutex_);
      known = Cached(address);
      if (!known) return Enqueue({line, address});
    }
    ShowPeerName(*line, *known);  // outside the lock: the host is called
  }

  bool WaitUntilEnded(std::chrono::milliseconds limit) {
    if (onWorker) return false;  // a host called back from the worker: it cannot wait for itself
    std::unique_lock lock(mutex_);
    ++waiters_;
    changed_.notify_all();  // an idle worker stops lingering
    bool ended = changed_.wait_for(lock, limit, [this] { return !workerRunning_; });
    --waiters_;
    // Joined, not just ended: the module may be unloaded next.
    std::thread worker = ended ? std::move(worker_) : std::thread();
    lock.unlock();
    if (worker.joinable()) worker.join();
    return ended;
  }

private:
  // Under mutex_. A lookup that finds the queue full, or no thread to run
  // it, is dropped: the connection text keeps the address alone.
  void Enqueue(PendingLookup lookup) {
    if (queue_.size() >= kQueueLimit) return;
    queue_.push_back(std::move(lookup));
    if (workerRunning_) {
      changed_.notify_all();
      return;
    }
    try {
      // The worker before has ended: it let go of the lock for the last time.
      if (worker_.joinable()) worker_.join();
      worker_ = std::thread([this] {
        onWorker = true;
        Work();
      });
      workerRunning_ = true;
    } catch (const std::system_error&) {
      queue_.clear();
    }
  }

  void Work() {
    std::unique_lock lock(mutex_);
    while (NextLookupArrives(lock)) {
      PendingLookup next = std::move(queue_.front());
      queue_.pop_front();
      if (next.line.expired()) continue;  // released while it waited: nobody to show the name to
      std::optional<std::string> known = Cached(next.address);  // an earlier entry may have found it
      lock.unlock();
      std::string name = known ? *known : LookUpName(next.address);
      if (std::shared_ptr<CallLine> line = next.line.lock()) ShowPeerName(*line, name);
      lock.lock();
      if (!known) Remember(next.address, name);
    }
    workerRunning_ = false;
    changed_.notify_all();
  }

  // Under mutex_: false when the queue stayed empty for the linger, or
  // someone waits for the worker to end.
  bool NextLookupArrives(std::unique_lock<std::mutex>& lock) {
    changed_.wait_for(lock, kIdleLinger, [this] { return !queue_.empty() || waiters_ > 0; });
    return !queue_.empty();
  }

  // Under mutex_: the stored answer for the address while it is fresh.
  std::optional<std::string> Cached(uint32_t address) {
    for (auto known = cache_.begin(); known != cache_.end(); ++known) {
      if (known->address != address) continue;
      if (TickMilliseconds() - known->storedAt < kCacheAgeMilliseconds) return known->name;
      cache_.erase(known);
      return std::nullopt;
    }
    return std::nullopt;
  }

  // Under mutex_. The cache is in the order answers came: the front is the oldest.
  void Remember(uint32_t address, const std::string& name) {
    std::erase_if(cache_, [address](const KnownName& known) { return known.address == address; });
    if (cache_.size() >= kCacheLimit) cache_.pop_front();
    cache_.push_back({address, name, TickMilliseconds()});
  }

  std::mutex mutex_;
  std::condition_variable changed_;  // the queue, the waiters or the worker's state changed
  std::deque<PendingLookup> queue_;
  std::deque<KnownName> cache_;
  std::thread worker_;  // joinable until the next worker starts, or a wait joins it
  bool workerRunning_ = false;
  int waiters_ = 0;
};

PeerLookups& Lookups() {
  static PeerLookups* lookups = new PeerLookups;  // outlives a worker that no wait could join
  return *lookups;
}

}  // namespace

void StartPeerLookup(std::shared_ptr<CallLine> line, uint32_t address) { Lookups().Start(std::move(line), address); }

bool WaitForPeerLookups(std::chrono::milliseconds limit) { return Lookups().WaitUntilEnded(limit); }

}  // namespace talvenor
