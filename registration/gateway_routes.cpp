#include "registration/gateway_routes.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/clock.h"

namespace talvenor {

namespace {

// How long an answer serves the REGISTERs and their retransmissions before
// it is looked up again. A refresh after a longer pause waits one tick.
constexpr uint32_t kFreshMilliseconds = 30 * 1000;
// Three gateways, each with a configured address that may change: a few
// answers are plenty; the oldest goes first.
constexpr size_t kKnownLimit = 8;
// An idle worker waits this long for more before it ends.
constexpr auto kIdleLinger = std::chrono::seconds(2);

struct RouteKey {
  std::string address;
  std::string configuredAddress;
  bool operator==(const RouteKey&) const = default;
};

struct KnownRoute {
  RouteKey key;
  GatewayRoute route;
  uint32_t foundAt = 0;
};

class GatewayRouteLookups {
public:
  std::optional<GatewayRoute> Known(const RouteKey& key) {
    std::scoped_lock lock(mutex_);
    for (const KnownRoute& known : known_) {
      if (known.key == key && TickMilliseconds() - known.foundAt < kFreshMilliseconds) return known.route;
    }
    if (std::find(queue_.begin(), queue_.end(), key) == queue_.end()) Enqueue(key);
    return std::nullopt;
  }

  bool WaitUntilEnded(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    if (workerRunning_ && worker_.get_id() == std::this_thread::get_id()) return false;
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

  void Forget() {
    std::scoped_lock lock(mutex_);
    known_.clear();
  }

private:
  // Under mutex_. Without a thread to run it, the lookup is asked for again
  // at the next tick.
  void Enqueue(const RouteKey& key) {
    queue_.push_back(key);
    if (workerRunning_) {
      changed_.notify_all();
      return;
    }
    try {
      if (worker_.joinable()) worker_.join();  // it has let go of the lock for the last time
      worker_ = std::thread([this] { Work(); });
      workerRunning_ = true;
    } catch (const std::system_error&) {
      queue_.clear();
    }
  }

  void Work() {
    std::unique_lock lock(mutex_);
    while (NextLookupArrives(lock)) {
      RouteKey key = queue_.front();
      lock.unlock();
      GatewayRoute route = FindGatewayRoute(key.address, key.configuredAddress);
      lock.lock();
      queue_.pop_front();  // left queued until now: a tick meanwhile does not ask again
      std::erase_if(known_, [&](const KnownRoute& known) { return known.key == key; });
      if (known_.size() >= kKnownLimit) known_.erase(known_.begin());
      known_.push_back({key, route, TickMilliseconds()});
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

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<RouteKey> queue_;
  std::vector<KnownRoute> known_;  // in the order found
  std::thread worker_;
  bool workerRunning_ = false;
  int waiters_ = 0;
};

GatewayRouteLookups& Lookups() {
  static GatewayRouteLookups* lookups = new GatewayRouteLookups;  // outlives a worker no wait could join
  return *lookups;
}

}  // namespace

std::optional<GatewayRoute> KnownGatewayRoute(const std::string& address, const std::string& configuredAddress) {
  return Lookups().Known({address, configuredAddress});
}

bool WaitForGatewayRouteLookups(std::chrono::milliseconds limit) { return Lookups().WaitUntilEnded(limit); }

void ForgetGatewayRoutes() { Lookups().Forget(); }

}  // namespace talvenor
