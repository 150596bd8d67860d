// The receive side of one call in the module's own time, without sockets:
// a second of G.711 in 20 ms packets through the receive buffer, its
// concealment and the playout, clean and over a network that delays each
// packet by 0 to 60 ms and loses 3 %. Reports the CPU per call-second of
// audio and the delay the buffer settled on.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <random>
#include <vector>

#include "media/g711.h"
#include "media/rtp_packet.h"
#include "media/rtp_receiver.h"

namespace talvenor {
namespace {

// A call that takes every frame and releases it at once.
class Sink final : public RtpCall {
public:
  bool MediaOpen() const override { return true; }
  bool Hearing() const override { return true; }
  bool AwaitingFirstPacket() const override { return false; }
  Ipv4Endpoint RtpPeer() const override { return {}; }
  Ipv4Endpoint SipPeer() const override { return {}; }
  void TakeFirstPacket(int, const Ipv4Endpoint&) override {}
  void SetLocalMedia(uint16_t, std::string) override {}
  bool PayloadTypeEnabled(int type) const override { return type == 0; }
  int PayloadType() const override { return 0; }
  void UsePayloadType(int) override {}
  void MediaFlows() override {}
  bool Held() const override { return false; }
  std::unique_lock<std::recursive_mutex> LockFrames() override { return std::unique_lock(lock_); }
  bool HostHoldsTooManyFrames() const override { return false; }
  void DeliverFrame(const int16_t* samples, bool) override { benchmark::DoNotOptimize(samples[0]); }
  void ReportReception(unsigned, unsigned) override {}
  void AudioTaken() override {}
  void MediaEnded() override {}

private:
  std::recursive_mutex lock_;
};

struct Arrival {
  int64_t at;
  std::vector<std::byte> datagram;
};

// Fifty packets of a tone, as they arrive over a network of this jitter and loss.
std::vector<Arrival> OneSecond(int jitterSamples, int lossPercent) {
  std::mt19937 network(7);
  std::vector<Arrival> arrivals;
  for (uint16_t sequence = 0; sequence < 50; ++sequence) {
    std::vector<std::byte> datagram(kRtpHeaderBytes + 160);
    PackRtpHeader({sequence == 0, 0, sequence, sequence * 160u, 1}, datagram);
    for (size_t index = 0; index < 160; ++index) {
      auto sample = static_cast<int16_t>(((sequence * 160 + index) % 20) * 800 - 8000);
      datagram[kRtpHeaderBytes + index] = static_cast<std::byte>(UlawFromLinear(sample));
    }
    bool lost = static_cast<int>(network() % 100) < lossPercent;
    int64_t at = (sequence + 1) * 160 + static_cast<int64_t>(network() % static_cast<unsigned>(jitterSamples + 1));
    if (!lost) arrivals.push_back({at, std::move(datagram)});
  }
  std::stable_sort(arrivals.begin(), arrivals.end(), [](const Arrival& a, const Arrival& b) { return a.at < b.at; });
  return arrivals;
}

void BM_ReceiveOneCallSecond(benchmark::State& state) {
  std::vector<Arrival> arrivals = OneSecond(static_cast<int>(state.range(0)) * 8, static_cast<int>(state.range(1)));
  Sink sink;
  uint32_t delay = 0;
  for (auto _ : state) {
    RtpReceiver receiver(nullptr);
    size_t next = 0;
    // The receive thread wakes for each datagram and for each frame.
    for (int64_t frame = 0; frame <= 8000 + 1600; frame += 320) {
      for (; next < arrivals.size() && arrivals[next].at <= frame; ++next) {
        receiver.Take(sink, arrivals[next].datagram, {}, arrivals[next].at);
        receiver.Play(sink, arrivals[next].at);
      }
      receiver.Play(sink, frame);
    }
    delay = receiver.Buffer().Delay();
  }
  state.counters["delay_ms"] = delay / 8.0;
  state.SetLabel("CPU per call-second of audio");
}
BENCHMARK(BM_ReceiveOneCallSecond)->Args({0, 0})->Args({60, 3})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace talvenor
