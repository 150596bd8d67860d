// The RTP receive path of an answered call: every input hands a fresh call
// line's receiver arbitrary datagrams from a few sources, at times of its
// choosing. The receiver parses each, keeps to the far end's first source,
// puts the packets in order, and on its playout clock decodes G.711 (0, 8),
// GSM (3) or G.729 (18, when the library named by TALVENOR_FUZZ_G729_LIBRARY
// loads), conceals what is missing and hands the host frames through the
// real call line.
//
// Input: one flags byte, then up to 16 records of a selector byte, a 16-bit
// big-endian length and that many bytes of datagram (cut at the input's end).
//   flags bit 0, 1, 2, 3: the call may use type 0, 3, 8, 18
//   flags bit 4: the call may use type 2, which has no codec here
//   flags bit 5: the call's SIP peer is 127.0.0.2 (its SDP names 127.0.0.1)
//   flags bits 6-7: the host releases no frame / every frame / every second
//                frame / every third frame as soon as it gets it
//   selector bit 0: sent from 127.0.0.2 instead of 127.0.0.1
//   selector bits 1-2: sent from port 40000 to 40003
//   selector bits 3-7: it arrives that many 5 ms steps after the one before,
//                and the frames due by then are played
//
// Checked: the host gets 640-byte frames, never more than 7 unreleased,
// OnConnected at most once, the call information as composed for RTP, and
// OnDisconnected exactly once when the call ends.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "calls/call_context.h"
#include "calls/call_line.h"
#include "registration/gateway_accounts.h"
#include "registration/registration_book.h"
#include "calls/call_state.h"
#include "calls/line_threads.h"
#include "media/g729_library.h"
#include "media/rtp_receiver.h"
#include "platform/endpoint.h"
#include "platform/message_box.h"
#include "platform/resolver.h"
#include "sip/sdp.h"

namespace {

using namespace talvenor;
using namespace std::chrono_literals;

constexpr size_t kMostRecords = 16;
constexpr int kFrameBytes = 640;
constexpr int kFrameLimit = 7;
constexpr uint32_t kLoopback = 0x7f000001;  // host order
constexpr uint32_t kSecondLoopback = 0x7f000002;
constexpr uint16_t kFirstSenderPort = 40000;

// What a call line needs of the module: nothing is sent anywhere.
class QuietContext final : public CallContext {
public:
  long SendSip(std::string_view text, const Ipv4Endpoint&) const override { return static_cast<long>(text.size()); }
  uint16_t AdvertisedSipPort() const override { return 5060; }
  bool G729Busy() const override { return g729Busy_; }
  void SetG729Busy(bool busy) const override { g729Busy_ = busy; }
  std::recursive_mutex& LinesLock() const override { return lock_; }
  void ReleaseOwnLine(const CallLine&) override {}
  OutgoingCallSettings SettingsForOutgoingCall() const override { return {}; }
  GatewayAccounts& Gateways() const override { return gateways_; }
  uint32_t LongestRegistration() const override { return 0; }
  RegistrationBook& Registrations() const override {
    static RegistrationBook* book = new RegistrationBook;
    return *book;
  }

private:
  mutable std::atomic<bool> g729Busy_{false};
  mutable std::recursive_mutex lock_;
  mutable GatewayAccounts gateways_{*this, lock_, [] { return AccountSettings{}; }, [] { return 0; }};
};

// The host's side of the call: checks what it is handed and releases frames
// as the input says, on the thread that hands it the frame.
class Host final : public CCon {
public:
  void Begin(CallLine* line, int releaseEvery) {
    std::scoped_lock lock(mutex_);
    line_ = line;
    releaseEvery_ = releaseEvery;
    frames_ = held_ = connected_ = disconnected_ = 0;
  }
  void CheckEnd(bool connected) {
    std::scoped_lock lock(mutex_);
    // Told once that the call ended; told it connected exactly when it did.
    if (disconnected_ != 1 || connected_ != (connected ? 1 : 0)) __builtin_trap();
    line_ = nullptr;
  }

  void OnConnected(int, int) override {
    std::scoped_lock lock(mutex_);
    if (++connected_ > 1) __builtin_trap();  // a call connects once
  }
  void OnDisconnected(int reason) override {
    std::scoped_lock lock(mutex_);
    if (reason != kEndNormal || ++disconnected_ > 1) __builtin_trap();
  }
  void OnAudioSent() override { __builtin_trap(); }  // nothing is sent here
  void OnAudioReceived(const short* samples, int byteCount, int) override {
    std::scoped_lock lock(mutex_);
    if (samples == nullptr || byteCount != kFrameBytes || line_ == nullptr) __builtin_trap();
    // At most 7 frames unreleased, by the host's count and by the line's
    // (read under the frame lock, which the delivering thread holds).
    if (++held_ > kFrameLimit || line_->MediaState().outstandingFrames > kFrameLimit) __builtin_trap();
    ++frames_;
    if (releaseEvery_ != 0 && frames_ % releaseEvery_ == 0) {
      line_->ReleaseFrame();
      --held_;
    }
  }
  void OnCallInfo(const CString& text) override {
    // "RTP\<codec> <address>:<port>", where the media comes from; a reverse
    // lookup may add " (<name>)" later, also for an earlier call, and a poor
    // reception "; buffer <n> ms, <n> % lost".
    std::string_view info(text);
    if (!info.starts_with("RTP\\")) __builtin_trap();
    size_t space = info.find(' ');
    if (space == std::string_view::npos) __builtin_trap();
    std::string_view codec = info.substr(4, space - 4);
    bool named = codec == "ERR";
    for (int type = 0; type < kNamedPayloadTypes && !named; ++type) {
      std::string_view name = PayloadName(type);
      named = codec == name.substr(0, name.find('/'));
    }
    if (!named) __builtin_trap();
    std::string_view where = info.substr(space + 1);
    where = where.substr(0, where.find_first_of(" ;"));
    bool ours = false;
    for (const char* address : {"127.0.0.1:", "127.0.0.2:"}) {
      for (uint16_t port = kFirstSenderPort; port < kFirstSenderPort + 4; ++port) {
        ours = ours || where == std::string(address) + std::to_string(port);
      }
    }
    if (!ours) __builtin_trap();
  }

private:
  std::mutex mutex_;
  CallLine* line_ = nullptr;
  int releaseEvery_ = 0;
  int frames_ = 0;
  int held_ = 0;
  int connected_ = 0;
  int disconnected_ = 0;
};

struct Fixture {
  QuietContext context;
  Host host;
  std::shared_ptr<const LoadedG729Library> g729;
};

Fixture& TheFixture() {
  static Fixture* fixture = new Fixture;  // outlives line threads at exit
  return *fixture;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetMessageBackend([](int, const std::string&, MessageIcon) {});
  SetHostLookup([](const std::string&) -> uint32_t { return 0; });
  if (const char* library = std::getenv("TALVENOR_FUZZ_G729_LIBRARY"); library != nullptr && *library != '\0') {
    if (LoadG729Library({library}) != G729Load::Usable) {
      std::fprintf(stderr, "rtp_receive_fuzz: %s is no G.729 library\n", library);
      std::abort();
    }
    TheFixture().g729 = SharedG729Library();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return -1;
  Fixture& fixture = TheFixture();
  uint8_t flags = data[0];
  PayloadTypeFlags enabled{};
  enabled[kPayloadG711Ulaw] = (flags & 1) != 0;
  enabled[kPayloadGsm] = (flags & 2) != 0;
  enabled[kPayloadG711Alaw] = (flags & 4) != 0;
  enabled[kPayloadG729] = (flags & 8) != 0 && fixture.g729 != nullptr;
  enabled[2] = (flags & 16) != 0;

  CallParameters parameters;
  parameters.connection = &fixture.host;
  parameters.target = "far@127.0.0.1";
  parameters.enabledPayloadTypes = enabled;
  auto line = std::make_shared<CallLine>(fixture.context, parameters);
  line->Dialog().Update([&](DialogState& dialog) {
    dialog.sipPeer = {NetworkAddress((flags & 32) ? kSecondLoopback : kLoopback), NetworkPort(5060)};
  });
  line->MediaState().rtpPeer.Replace({NetworkAddress(kLoopback), NetworkPort(kFirstSenderPort)});
  line->SetEndReason(kEndNormal);  // answered
  fixture.host.Begin(line.get(), flags >> 6);

  RtpReceiver receiver(fixture.g729);
  int64_t now = 0;  // in 8 kHz samples
  for (size_t at = 1, records = 0; records < kMostRecords && at + 3 <= size; ++records) {
    uint8_t selector = data[at];
    size_t length = std::min<size_t>(size_t{data[at + 1]} << 8 | data[at + 2], size - at - 3);
    Ipv4Endpoint source{NetworkAddress((selector & 1) ? kSecondLoopback : kLoopback),
                        NetworkPort(static_cast<uint16_t>(kFirstSenderPort + (selector >> 1 & 3)))};
    now += (selector >> 3) * 40;
    receiver.Take(*line, std::as_bytes(std::span(data + at + 3, length)), source, now);
    receiver.Play(*line, now);
    at += 3 + length;
  }
  receiver.Play(*line, now + 8 * 250);  // what the buffer still holds plays out
  bool connected = line->State() == CallState::Connected;
  {
    std::scoped_lock lock(fixture.context.LinesLock());
    line->Finish();
  }
  fixture.host.CheckEnd(connected);
  // A reverse lookup started for the media's source may still run: it is
  // waited for, so that a slow resolver cannot pile up threads.
  if (!WaitForLineThreads(30s)) std::fprintf(stderr, "rtp_receive_fuzz: a line thread is still running\n");
  return 0;
}
