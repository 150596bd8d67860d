// The three gateway accounts, alive from start-up to shutdown.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>

#include "registration/gateway_account.h"

namespace talvenor {

inline constexpr int kGatewayCount = 3;

// The slots of the accounts; empty before start-up and after shutdown. Read
// and changed under the accounts' lock, ModuleLock.
class GatewayAccounts {
public:
  using Slots = std::array<std::unique_ptr<GatewayAccount>, kGatewayCount>;
  // The index of the gateway that calls to "NUMBER@" go through, asked at each use.
  using SelectedIndex = std::function<int()>;

  GatewayAccounts(const SipChannel& channel, std::recursive_mutex& lock, AccountSettingsSource settings,
                  SelectedIndex selected)
      : channel_(channel), lock_(lock), settings_(std::move(settings)), selected_(std::move(selected)) {}

  std::recursive_mutex& Lock() const { return lock_; }
  std::unique_ptr<GatewayAccount>& operator[](int index) { return slots_[index]; }
  Slots::iterator begin() { return slots_.begin(); }
  Slots::iterator end() { return slots_.end(); }

  // Puts a new account in a slot, in place of the one there.
  void Create(int index, const GatewayFields& fields);

  // The selected account (the first when the selection is out of range).
  GatewayAccount* Current();
  // The account whose address equals the text ignoring case, the current
  // gateway first, then accounts 0, 1 and 2; null when none matches.
  GatewayAccount* FindByAddress(std::string_view address);

  // Destroys the accounts without saving them (a start-up that failed).
  void DestroyAll();

  // At shutdown: every registered account unregisters at the next ticks.
  // True, later, once none is registering any more.
  void UnregisterForShutdown();
  bool Idle() const;

  // Sends the REGISTERs due at this tick along the routes the lookup worker
  // has found; an account whose route is not known yet waits for a later
  // tick. An account that does not register takes its gateway's address
  // from the same answers. Never waits for a name lookup. Under the
  // accounts' lock.
  void SendDueRegisters();

private:
  const SipChannel& channel_;
  std::recursive_mutex& lock_;
  AccountSettingsSource settings_;
  SelectedIndex selected_;
  Slots slots_;
};

}  // namespace talvenor
