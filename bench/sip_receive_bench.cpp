// The receive path of one datagram: building the message, classifying it and
// reading what the registrar or the new-call handler reads first. Reported
// per message, with the heap allocations each message costs.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

#include "bench/allocation_count.h"
#include "sip/header_names.h"
#include "sip/recipes.h"
#include "sip/sip_message.h"

namespace talvenor {
namespace {

constexpr uint32_t kSourceAddress = 0x0700000a;
constexpr uint16_t kSourcePort = 0xc413;

const std::string kRegister =
    "REGISTER sip:10.0.0.1 SIP/2.0\r\n"
    "Via: SIP/2.0/UDP 10.0.0.7:5062;branch=z9hG4bK-524287-1---a4f3c2b1e0d9\r\n"
    "Max-Forwards: 70\r\n"
    "Contact: <sip:desk@10.0.0.7:5062;rinstance=8f2c1d0e9b7a6453>;expires=3600\r\n"
    "To: \"Front Desk\" <sip:desk@10.0.0.1>\r\n"
    "From: \"Front Desk\" <sip:desk@10.0.0.1>;tag=5f3a9c1e\r\n"
    "Call-ID: ZmQ4YjM5NGE3ZTQ1NjdhYzRkNTU4ZjA0@10.0.0.7\r\n"
    "CSeq: 2 REGISTER\r\n"
    "Expires: 3600\r\n"
    "Allow: INVITE, ACK, CANCEL, BYE, NOTIFY, REFER, MESSAGE, OPTIONS, INFO, SUBSCRIBE\r\n"
    "User-Agent: Desk Phone 5.1.3 stamp 71234\r\n"
    "Content-Length: 0\r\n"
    "\r\n";

const std::string kInvite =
    "INVITE sip:lab@10.0.0.1 SIP/2.0\r\n"
    "Via: SIP/2.0/UDP 10.0.0.7:5062;branch=z9hG4bK-524287-1---77e1d2c3b4a5\r\n"
    "Max-Forwards: 70\r\n"
    "Contact: <sip:desk@10.0.0.7:5062>\r\n"
    "To: <sip:lab@10.0.0.1>\r\n"
    "From: \"Front Desk\" <sip:desk@10.0.0.1>;tag=77e1d2c3\r\n"
    "Call-ID: NjA5YzE4ZTAyMWM0ZDY5OGI1YzA1MmE3@10.0.0.7\r\n"
    "CSeq: 1 INVITE\r\n"
    "Allow: INVITE, ACK, CANCEL, BYE, NOTIFY, REFER, MESSAGE, OPTIONS, INFO, SUBSCRIBE\r\n"
    "Content-Type: application/sdp\r\n"
    "Supported: replaces\r\n"
    "User-Agent: Desk Phone 5.1.3 stamp 71234\r\n"
    "Content-Length: 228\r\n"
    "\r\n"
    "v=0\r\n"
    "o=- 1370294712 1370294713 IN IP4 10.0.0.7\r\n"
    "s=Desk Phone\r\n"
    "c=IN IP4 10.0.0.7\r\n"
    "t=0 0\r\n"
    "m=audio 49170 RTP/AVP 0 8 3 18 101\r\n"
    "a=rtpmap:101 telephone-event/8000\r\n"
    "a=fmtp:101 0-15\r\n"
    "a=sendrecv\r\n";

// Runs body once per iteration and reports messages per second and the
// heap allocations of one iteration.
template <typename Body>
void PerMessage(benchmark::State& state, Body body) {
  uint64_t before = bench::AllocationCount();
  for (auto _ : state) {
    body();
  }
  uint64_t allocations = bench::AllocationCount() - before;
  state.SetItemsProcessed(state.iterations());
  state.counters["allocs/msg"] =
      benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
}

void BM_ReceiveRegister(benchmark::State& state) {
  PerMessage(state, [] {
    SipMessage message(kRegister, kSourceAddress, kSourcePort);
    benchmark::DoNotOptimize(message.Kind());
    benchmark::DoNotOptimize(RegistrationUser(message));
    benchmark::DoNotOptimize(message.FindLine(kFromHeader));
    benchmark::DoNotOptimize(message.FindLine(kCseqHeader));
    benchmark::DoNotOptimize(message.FindLine(kCallIdHeader));
    benchmark::DoNotOptimize(RegistrationExpiry(message));
    benchmark::DoNotOptimize(RegistrationDisplayName(message));
    benchmark::DoNotOptimize(UserAgentText(message));
  });
}
BENCHMARK(BM_ReceiveRegister);

void BM_ReceiveInvite(benchmark::State& state) {
  PerMessage(state, [] {
    SipMessage message(kInvite, kSourceAddress, kSourcePort);
    benchmark::DoNotOptimize(message.Kind());
    benchmark::DoNotOptimize(message.FindLine(kCallIdHeader));
    benchmark::DoNotOptimize(CallerUser(message));
    benchmark::DoNotOptimize(RemoteTarget(message));
    benchmark::DoNotOptimize(SdpConnectionAddress(message));
    std::string_view mediaLine = SdpMediaLine(message);
    benchmark::DoNotOptimize(SdpMediaPort(message));
    for (int i = 0; !SdpPayloadTypeToken(mediaLine, i).empty(); ++i) {
      benchmark::DoNotOptimize(SdpPayloadTypeToken(mediaLine, i));
    }
  });
}
BENCHMARK(BM_ReceiveInvite);

void BM_ConstructOnly(benchmark::State& state) {
  PerMessage(state, [] {
    SipMessage message(kInvite, kSourceAddress, kSourcePort);
    benchmark::DoNotOptimize(message.LineCount());
  });
}
BENCHMARK(BM_ConstructOnly);

// The other way to keep the lines, one owned string per line, for comparison
// with the one-copy-plus-views layout above.
void BM_ConstructAsStrings(benchmark::State& state) {
  PerMessage(state, [] {
    std::vector<std::string> lines;
    std::string_view text = kInvite;
    for (size_t start = text.find_first_not_of("\r\n"); start != std::string_view::npos;) {
      size_t end = std::min(text.find_first_of("\r\n", start), text.size());
      lines.emplace_back(text.substr(start, end - start));
      start = text.find_first_not_of("\r\n", end);
    }
    benchmark::DoNotOptimize(lines.data());
  });
}
BENCHMARK(BM_ConstructAsStrings);

}  // namespace
}  // namespace talvenor
