// One line's RTP on 127.0.0.1: the time from a packet's arrival to
// OnAudioReceived, and the CPU one line spends per second sending and
// receiving G.711 at the host's pace of a frame every 40 ms.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/resource.h>

#include <array>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "bench/allocation_count.h"
#include "calls/call_line.h"
#include "registration/gateway_accounts.h"
#include "registration/registration_book.h"
#include "calls/call_media.h"
#include "calls/line_threads.h"
#include "media/g711.h"
#include "media/line_media.h"
#include "tests/support/test_helpers.h"
#include "tests/support/test_host.h"

namespace talvenor {
namespace {

// A module stand-in: the line sends no SIP here.
class NoSip final : public CallContext {
public:
  long SendSip(std::string_view, const Ipv4Endpoint&) const override { return 0; }
  uint16_t AdvertisedSipPort() const override { return 5060; }
  bool G729Busy() const override { return false; }
  void SetG729Busy(bool) const override {}
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
  mutable std::recursive_mutex lock_;
  mutable GatewayAccounts gateways_{*this, lock_, [] { return AccountSettings{}; }, [] { return 0; }};
};

struct OpenLine {
  OpenLine() {
    CallParameters parameters;
    parameters.connection = &host;
    parameters.enabledPayloadTypes[0] = true;
    line = std::make_shared<CallLine>(context, parameters);
    line->Dialog().Update([](DialogState& dialog) { dialog.sipPeer = {htonl(INADDR_LOOPBACK), htons(5060)}; });
    line->MediaState().rtpPeer.Replace({htonl(INADDR_LOOPBACK), htons(far.Port())});
    line->SetEndReason(kEndNormal);
    MediaSettings settings;
    settings.rtpBasePort = 40000;
    settings.localAddress = "127.0.0.1";
    opened = OpenCallMedia(line, settings);
    packet[0] = static_cast<char>(0x80);  // version 2, payload type 0
    packet[1] = 0;
  }
  ~OpenLine() {
    line->Finish();
    line.reset();
    WaitForLineThreads(std::chrono::seconds(2));
  }
  NoSip context;
  testhost::RecordingConnection host{false};  // counts only: it allocates nothing per frame
  testhelp::UdpPeer far;                       // the far end, sending to the line's port
  std::shared_ptr<CallLine> line;
  bool opened = false;
  // A 12-byte header and 160 mu-law codes: half a frame.
  std::string packet = std::string(172, static_cast<char>(UlawFromLinear(1000)));
};

void RtpArrivalToOnAudioReceived(benchmark::State& state) {
  OpenLine call;
  if (!call.opened) {
    state.SkipWithError("no RTP port free");
    return;
  }
  uint64_t allocations = bench::AllocationCount();
  for (auto _ : state) {
    long before = call.host.Count("OnAudioReceived");
    call.far.SendTo(call.line->MediaState().localRtpPort, call.packet);
    call.far.SendTo(call.line->MediaState().localRtpPort, call.packet);
    if (!call.host.WaitForCount("OnAudioReceived", before + 1, std::chrono::seconds(10))) {
      state.SkipWithError("no frame reached the host");
      break;
    }
    call.line->ReleaseFrame();
  }
  // Receiving, decoding and delivering allocate nothing.
  state.counters["allocations_per_frame"] = benchmark::Counter(
      static_cast<double>(bench::AllocationCount() - allocations) / static_cast<double>(state.iterations()));
}
BENCHMARK(RtpArrivalToOnAudioReceived)->UseRealTime();

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void OneLineG711CpuPerSecond(benchmark::State& state) {
  OpenLine call;
  if (!call.opened) {
    state.SkipWithError("no RTP port free");
    return;
  }
  std::array<int16_t, 320> frame{};
  frame.fill(1000);
  constexpr int kFrames = 50;  // two seconds of a call
  double cpu = 0;
  for (auto _ : state) {
    double start = CpuSeconds();
    auto due = std::chrono::steady_clock::now();
    for (int index = 0; index < kFrames; ++index) {
      call.line->MediaState().handle.Snapshot()->SendAudio(*call.line, frame.data(), frame.size(), false);
      call.far.SendTo(call.line->MediaState().localRtpPort, call.packet);
      call.far.SendTo(call.line->MediaState().localRtpPort, call.packet);
      call.line->ReleaseFrame();
      call.far.Drain();
      due += std::chrono::milliseconds(40);
      std::this_thread::sleep_until(due);
    }
    cpu += CpuSeconds() - start;
  }
  // The far end's sends are counted in too, so this is an upper bound.
  state.counters["cpu_ms_per_call_second"] =
      benchmark::Counter(cpu * 1000 / (static_cast<double>(state.iterations()) * kFrames * 0.04));
}
BENCHMARK(OneLineG711CpuPerSecond)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvenor
