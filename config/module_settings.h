// Module-wide settings. Every one has its default from the moment the library
// is loaded; the settings loads replace them with stored values at start-up
// and the saves write them back at shutdown. The settings pages write them
// without a lock while the receive thread and the timer read them, so each is
// one whole value: an atomic word, or a text guarded by its own small lock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace talvenor {

class SharedText {
public:
  std::string Get() const {
    std::scoped_lock lock(mutex_);
    return text_;
  }
  void Set(std::string text) {
    std::scoped_lock lock(mutex_);
    text_ = std::move(text);
  }

private:
  mutable std::mutex mutex_;
  std::string text_;
};

inline constexpr int kPayloadTypeCount = 19;
inline constexpr uint16_t kDefaultExpiration = 3600;
inline constexpr uint16_t kDefaultRtpBasePort = 8000;

struct ModuleSettings {
  SharedText HostName;
  SharedText LocalAddress;
  SharedText DisplayName;
  std::atomic<uint16_t> SipPort{5060};
  std::atomic<uint32_t> LogEnabled{0};
  std::atomic<uint32_t> BanEnabled{0};
  std::atomic<uint32_t> BindAddress{0};  // network order; 0 is any
  std::atomic<int> LineCount{4};
  std::atomic<int> G729Available{0};
  std::atomic<uint32_t> EnableRegistrations{0};
  std::atomic<uint32_t> AuthenticateRegistrations{0};
  std::atomic<uint32_t> AuthenticateInvites{0};
  std::atomic<uint16_t> DefaultExpiration{kDefaultExpiration};
  std::atomic<int> SelectedGateway{0};
  // Index is the RTP payload type; only 0, 3, 8 and 18 are ever enabled.
  std::array<std::atomic<int>, kPayloadTypeCount> EnabledPayloadTypes{};
  std::atomic<uint16_t> RtpBasePort{kDefaultRtpBasePort};
  std::atomic<uint32_t> SilenceThreshold{0};
  std::atomic<int> G729Busy{0};
  // The host executable's folder plus "Nuvex.chm".
  SharedText HelpFilePath;
};

ModuleSettings& Settings();

// Puts every setting that the profile stores back to its default (the ones
// taken from the environment at load are left as they are).
void RestoreDefaultSettings();

}  // namespace talvenor
