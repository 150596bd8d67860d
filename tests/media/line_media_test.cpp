// A line's RTP against a far end on real sockets of 127.0.0.1 and 127.0.0.2.
#include "media/line_media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "calls/call_info.h"
#include "calls/call_timing.h"
#include "calls/line_threads.h"
#include "media/g711.h"
#include "calls/call_line.h"
#include "calls/call_media.h"
#include "calls/peer_lookup.h"
#include "config/module_settings.h"
#include "module/sip_module.h"
#include "platform/resolver.h"
#include "platform/udp_socket.h"
#include "tests/support/test_helpers.h"
#include "tests/support/test_host.h"

namespace talvenor {
namespace {

using namespace std::chrono_literals;

using testhost::RecordingConnection;

// An even base port whose first four ports are free at the moment (the
// others of its span a call skips when taken).
uint16_t FreeBasePort() {
  for (;;) {
    auto base = static_cast<uint16_t>(testhelp::FreeUdpPort() & ~1u);
    if (base > 65000) continue;
    std::vector<std::unique_ptr<UdpSocket>> probes;
    bool free = true;
    for (uint16_t offset = 0; offset < 8 && free; offset += 2) {
      probes.push_back(std::make_unique<UdpSocket>());
      free = probes.back()->Open() && probes.back()->Bind({0, NetworkPort(static_cast<uint16_t>(base + offset))});
    }
    if (free) return base;
  }
}

// Numbered one after the other, 20 ms apart: the receiver plays them in order.
std::string RtpPacket(uint8_t secondByte, std::span<const uint8_t> payload, uint32_t ssrc = 0) {
  static uint16_t sequence = 0;
  ++sequence;
  uint32_t timestamp = sequence * 160u;
  std::string packet(12, '\0');
  packet[0] = static_cast<char>(0x80);
  packet[1] = static_cast<char>(secondByte);
  packet[2] = static_cast<char>(sequence >> 8);
  packet[3] = static_cast<char>(sequence);
  for (int at = 0; at < 4; ++at) packet[4 + at] = static_cast<char>(timestamp >> (24 - 8 * at));
  for (int at = 0; at < 4; ++at) packet[8 + at] = static_cast<char>(ssrc >> (24 - 8 * at));
  packet.append(reinterpret_cast<const char*>(payload.data()), payload.size());
  return packet;
}

class LineMediaTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(module_.Started());
    SetCallTiming({10ms, 6, 30});
    settings_.rtpBasePort = FreeBasePort();
    settings_.localAddress = "127.0.0.1";
  }
  void TearDown() override {
    for (int index = 0; index < 4; ++index) {
      if (auto line = TheModule().Line(index)) {
        std::scoped_lock lock(TheModule().ModuleLock());
        line->Finish();
      }
      TheModule().ReleaseLine(index, 0);
    }
    EXPECT_TRUE(WaitForLineThreads(5s));
    SetCallTiming({});
  }
  // An answered outgoing call whose SDP named `rtpPeer`.
  std::shared_ptr<CallLine> Call(RecordingConnection& host, const testhelp::UdpPeer& rtpPeer) {
    std::shared_ptr<CallLine> line = TheModule().CreateLine([&](int index) {
      CallParameters parameters;
      parameters.lineIndex = index;
      parameters.connection = &host;
      parameters.target = "lab@127.0.0.1";
      for (int type : {0, 3, 8}) parameters.enabledPayloadTypes[type] = true;
      return std::make_shared<CallLine>(TheModule(), parameters);
    });
    if (!line) return nullptr;
    line->Dialog().Update([&](DialogState& d) { d.sipPeer = {LoopbackAddress(), NetworkPort(farSip_.Port())}; });
    line->MediaState().rtpPeer.Replace({LoopbackAddress(), NetworkPort(rtpPeer.Port())});
    return line;
  }
  static Ipv4Endpoint Bound(uint16_t port) { return {NetworkAddress(0x7f000001), NetworkPort(port)}; }

  testhelp::RunningModule module_;
  testhelp::UdpPeer farSip_;
  MediaSettings settings_;
  RecordingConnection host;  // outlives the lines, which TearDown ends
};

TEST_F(LineMediaTest, FourCallsTakeTheFourPortsAndAFifthWaitsForOneToEnd) {
  testhelp::UdpPeer far;
  settings_.rtpBasePort = kHighestEvenPort - 6;  // room for four ports only
  std::vector<uint16_t> ports;
  std::vector<std::shared_ptr<CallLine>> lines;
  for (int call = 0; call < 4; ++call) {
    lines.push_back(Call(host, far));
    ASSERT_TRUE(OpenCallMedia(lines.back(), settings_));
    ports.push_back(lines.back()->MediaState().localRtpPort);
    EXPECT_EQ(lines.back()->Dialog().Snapshot().localIp, "127.0.0.1");
  }
  std::sort(ports.begin(), ports.end());
  uint16_t base = settings_.rtpBasePort;
  EXPECT_EQ(ports, (std::vector<uint16_t>{base, uint16_t(base + 2), uint16_t(base + 4), uint16_t(base + 6)}));
  TheModule().ReleaseLine(3, 0);  // a slot for a fifth call; that call's media still holds its port
  std::shared_ptr<CallLine> fifth = Call(host, far);
  EXPECT_FALSE(OpenCallMedia(fifth, settings_));  // every port still taken
  uint16_t freed = lines[0]->MediaState().localRtpPort;
  {
    std::scoped_lock lock(TheModule().ModuleLock());
    lines[0]->Finish();  // its receive thread closes the socket
  }
  host.WaitForCount("OnDisconnected", 1, 1s);
  ASSERT_TRUE(OpenCallMedia(fifth, settings_));
  EXPECT_EQ(fifth->MediaState().localRtpPort, freed);
  std::scoped_lock lock(TheModule().ModuleLock());
  lines[3]->Finish();
}

TEST_F(LineMediaTest, PortsAreDrawnAtRandomFromTheWholeSpan) {
  testhelp::UdpPeer far;
  std::shared_ptr<CallLine> line = Call(host, far);
  std::set<int> offsets;  // of 20 calls' ports: more than four, even, within the span
  for (int call = 0; call < 20 && LineMedia::Open(*line, settings_); ++call) {
    offsets.insert(line->MediaState().localRtpPort - settings_.rtpBasePort);
  }
  EXPECT_TRUE(offsets.size() > 4 && *offsets.rbegin() < static_cast<int>(kRtpPortSpan));
  EXPECT_TRUE(std::all_of(offsets.begin(), offsets.end(), [](int offset) { return offset % 2 == 0; }));
}

TEST_F(LineMediaTest, SendingSuppressesSilenceAndKeepsTheClock) {
  testhelp::UdpPeer far;
  static std::atomic<uint32_t> threshold;  // the VoIP page's, read for every frame
  threshold = 1036;
  settings_.liveSilenceThreshold = &threshold;
  std::shared_ptr<CallLine> line = Call(host, far);
  ASSERT_TRUE(OpenCallMedia(line, settings_));
  line->UsePayloadType(0);
  std::vector<int16_t> quiet(320, 0), loud(320, 0);
  quiet[100] = 1035;
  loud[100] = -1036;
  auto send = [&](const std::vector<int16_t>& frame) {
    TheModule().SendAudio(line->LineIndex(), frame.data(), 640, 0);
    return far.Receive(100ms);
  };
  std::optional<std::string> first = send(loud);
  EXPECT_FALSE(send(quiet).has_value());
  std::optional<std::string> afterSilence = send(loud);
  std::optional<std::string> next = send(loud);
  threshold = 1000;
  EXPECT_TRUE(send(quiet).has_value());  // the slider moved during the call
  threshold = 1036;
  ASSERT_TRUE(first && afterSilence && next);
  EXPECT_EQ(first->size(), 12u + 320u);
  auto byte = [](const std::string& packet, int at) { return static_cast<uint8_t>(packet[at]); };
  auto word = [&](const std::string& packet, int at, int bytes) {
    uint32_t value = 0;
    for (int index = 0; index < bytes; ++index) value = (value << 8) | byte(packet, at + index);
    return value;
  };
  EXPECT_EQ(byte(*first, 0), 0x80);
  EXPECT_EQ(byte(*afterSilence, 1), 0x80 | 0);  // the marker after silence, G.711 mu-law
  EXPECT_EQ(byte(*next, 1), 0);
  EXPECT_EQ(word(*afterSilence, 2, 2), (word(*first, 2, 2) + 1) & 0xffff);  // one packet per packet sent
  EXPECT_EQ(word(*afterSilence, 4, 4), word(*first, 4, 4) + 640);           // two frames of clock
  EXPECT_EQ(word(*next, 8, 4), word(*first, 8, 4));
  EXPECT_EQ(host.Count("OnAudioSent"), 5);
  // Another line has a source of its own, not a small number phones share.
  std::shared_ptr<CallLine> other = Call(host, far);
  ASSERT_TRUE(OpenCallMedia(other, settings_));
  other->UsePayloadType(0);
  TheModule().SendAudio(other->LineIndex(), loud.data(), 640, 0);
  std::optional<std::string> fromOther = far.Receive(100ms);
  ASSERT_TRUE(fromOther);
  EXPECT_NE(word(*fromOther, 8, 4), word(*first, 8, 4));
  // GSM: one 20 ms frame to a packet, the second stamped 160 samples later.
  line->UsePayloadType(3);
  TheModule().SendAudio(line->LineIndex(), loud.data(), 640, 0);
  std::optional<std::string> gsmFirst = far.Receive(100ms);
  std::optional<std::string> gsmSecond = far.Receive(100ms);
  ASSERT_TRUE(gsmFirst && gsmSecond);
  EXPECT_EQ(gsmFirst->size(), 12u + 33u);
  EXPECT_EQ(word(*gsmSecond, 4, 4), word(*gsmFirst, 4, 4) + 160);
  line->UsePayloadType(0);
  // A count far beyond a packet: only what fits is encoded, nothing overruns.
  std::vector<int16_t> huge(32767, 5000);
  TheModule().SendAudio(line->LineIndex(), huge.data(), 65534, 0);
  std::optional<std::string> capped = far.Receive(100ms);
  ASSERT_TRUE(capped);
  EXPECT_EQ(capped->size(), 1500u);
  // A negative count is no audio: nothing is read from the host's frame.
  TheModule().SendAudio(line->LineIndex(), loud.data() + loud.size() - 1, -2, 0);
  EXPECT_FALSE(far.Receive(50ms).has_value());
  // Audio never waits for SIP work, which holds ModuleLock (a slow INVITE).
  std::unique_lock sipWork(TheModule().ModuleLock());
  auto audio = std::async(std::launch::async, [&] {
    TheModule().SendAudio(line->LineIndex(), loud.data(), 640, 0);
    TheModule().ReleaseFrame(line->LineIndex(), 0);
  });
  EXPECT_EQ(audio.wait_for(5s), std::future_status::ready);
  sipWork.unlock();
  EXPECT_TRUE(far.Receive(100ms).has_value());
}

TEST_F(LineMediaTest, ReceivingLatchesTheSourceAssemblesFramesAndHoldsBackTheEighth) {
  testhelp::UdpPeer far;                 // where the far end's media really comes from
  testhelp::UdpPeer announced(0x7f000002);  // what its SDP said
  std::shared_ptr<CallLine> line = Call(host, announced);
  line->Dialog().Update([](auto& d) { d.sipPeer.address = NetworkAddress(0x7f000002); });  // the SIP peer is elsewhere
  ASSERT_TRUE(OpenCallMedia(line, settings_));
  line->SetEndReason(kEndNormal);  // the call was answered
  uint16_t port = line->MediaState().localRtpPort;
  std::vector<uint8_t> alaw(160, AlawFromLinear(1000));
  auto deliver = [&](const testhelp::UdpPeer& from, uint8_t secondByte, size_t count) {
    for (size_t packet = 0; packet < count; ++packet) from.SendTo(port, RtpPacket(secondByte, alaw));
    std::this_thread::sleep_for(250ms);  // the receive thread has handled them by then
  };
  deliver(far, 8, 3);  // frames flow from the first packet on, every 40 ms
  EXPECT_GT(host.Count("OnConnected"), 0);
  EXPECT_GT(host.Count("OnAudioReceived"), 1);
  EXPECT_EQ(line->PayloadType(), 8);  // the module answers in the codec it hears
  EXPECT_EQ(HostPort(line->RtpPeer().port), far.Port());
  EXPECT_NE(host.LastInfo().find("RTP\\PCMA 127.0.0.1:" + std::to_string(far.Port())), std::string::npos)
      << host.LastInfo();
  // The media's source is looked up by name, since SIP came from elsewhere.
  if (std::string name = ReverseLookup(NetworkAddress(0x7f000001)); name != "127.0.0.1") {
    for (int wait = 0; wait < 250 && host.LastInfo().find(" (") == std::string::npos; ++wait) {
      std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(host.LastInfo(), "RTP\\PCMA 127.0.0.1:" + std::to_string(far.Port()) + " (" + name + ")");
  }
  if (testhelp::OtherLoopbackSourcesWork()) {  // under Wine it would send from the SDP's own endpoint
    deliver(announced, 8, 4);  // not the latched source
    EXPECT_EQ(HostPort(line->RtpPeer().port), far.Port());
  }
  deliver(far, 8, 17);  // the host releases none
  EXPECT_EQ(host.Count("OnAudioReceived"), 7);
  TheModule().ReleaseFrame(line->LineIndex(), 0);
  deliver(far, 8, 2);
  EXPECT_EQ(host.Count("OnAudioReceived"), 8);
  auto frames = host.Arguments("OnAudioReceived");
  EXPECT_TRUE(std::any_of(frames.begin(), frames.end(), [](const auto& frame) {
    return frame[1] == std::to_string(LinearFromAlaw(AlawFromLinear(1000)));
  }));
  // The far end switches codec: so does the module.
  TheModule().ReleaseFrame(line->LineIndex(), 0);
  std::vector<uint8_t> ulaw(160, UlawFromLinear(1000));
  far.SendTo(port, RtpPacket(0, ulaw));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(line->PayloadType(), 0);
  std::vector<int16_t> frame(320, 700);
  TheModule().SendAudio(line->LineIndex(), frame.data(), 640, 0);
  std::optional<std::string> sent = far.Receive(200ms);
  ASSERT_TRUE(sent);
  EXPECT_EQ(static_cast<uint8_t>((*sent)[1]) & 0x7F, 0);
}

TEST_F(LineMediaTest, TheSdpSourceIsTakenAtOnceAndAnyOtherOnlyAfterARunOfItsOwn) {
  // The SDP names 127.0.0.1:20000, SIP comes from 127.0.0.2, a far end behind NAT sends from 127.0.0.4.
  enum From { Sdp, SdpAddressOtherPort, SipAddress, Nat, Third };
  const Ipv4Endpoint sources[] = {Bound(20000), Bound(20002), {NetworkAddress(0x7f000002), NetworkPort(20000)},
                                  {NetworkAddress(0x7f000004), NetworkPort(40000)}, Bound(30000)};
  // `packets` from `from`; then the call's audio goes to `target`, and it connected when a packet was played.
  struct Step { From from; int packets; From target; bool heard; uint32_t ssrc = 1; uint8_t type = 8; };
  const std::vector<std::vector<Step>> cases = {
      {{SdpAddressOtherPort, 2, Sdp, false}, {Sdp, 1, Sdp, true, 2}, {SdpAddressOtherPort, 5, Sdp, true}},
      {{SdpAddressOtherPort, 2, Sdp, false}, {SdpAddressOtherPort, 1, SdpAddressOtherPort, true}},
      {{SipAddress, 9, Sdp, false}},
      // Another source, SSRC or type breaks a run.
      {{SipAddress, 5, Sdp, false}, {Third, 1, Sdp, false}, {SipAddress, 5, Sdp, false},
       {SipAddress, 5, Sdp, false, 2}, {SipAddress, 1, Sdp, false, 2, 96}, {SipAddress, 5, Sdp, false, 2}},
      {{Nat, 9, Sdp, false}, {Nat, 1, Nat, true}},
      {{Nat, 10, Nat, true}, {Sdp, 1, Sdp, true}, {Nat, 10, Sdp, true}, {SdpAddressOtherPort, 3, Sdp, true}},
  };
  std::vector<uint8_t> alaw(160, AlawFromLinear(1000));
  for (size_t c = 0; c < cases.size(); ++c) {
    CallParameters parameters;
    parameters.connection = &host;
    parameters.enabledPayloadTypes[8] = true;
    auto line = std::make_shared<CallLine>(TheModule(), parameters);
    line->Dialog().Update([&](DialogState& d) { d.sipPeer = sources[SipAddress]; });
    line->MediaState().rtpPeer.Replace(sources[Sdp]);
    line->SetEndReason(kEndNormal);
    RtpReceiver receiver(nullptr);
    for (const Step& step : cases[c]) {
      for (int packet = 0; packet < step.packets; ++packet) {
        std::string datagram = RtpPacket(step.type, alaw, step.ssrc);
        receiver.Take(*line, std::as_bytes(std::span(datagram)), sources[step.from], 0);
      }
      EXPECT_EQ(line->RtpPeer(), sources[step.target]) << "case " << c << ", after source " << step.from;
      EXPECT_EQ(line->State() == CallState::Connected, step.heard) << "case " << c << ", after source " << step.from;
    }
    std::scoped_lock lock(TheModule().ModuleLock());
    line->Finish();
  }
}

TEST_F(LineMediaTest, PacketsTheCallsRulesDoNotAllowChangeNothing) {
  if (!testhelp::OtherLoopbackSourcesWork()) {
    GTEST_SKIP() << "the stranger's packets would come from 127.0.0.1, the far end's address (Wine)";
  }
  testhelp::UdpPeer far;
  testhelp::UdpPeer stranger(0x7f000003);
  testhelp::UdpPeer farAddressOtherPort;
  std::shared_ptr<CallLine> line = Call(host, far);
  ASSERT_TRUE(OpenCallMedia(line, settings_));
  line->SetEndReason(kEndNormal);
  uint16_t port = line->MediaState().localRtpPort;
  std::vector<uint8_t> alaw(160, AlawFromLinear(1000));
  // A stranger who guessed the port first takes neither the audio nor
  // where the module sends its own.
  for (int packet = 0; packet < 3; ++packet) stranger.SendTo(port, RtpPacket(8, alaw));
  std::this_thread::sleep_for(250ms);
  EXPECT_EQ(host.Count("OnAudioReceived"), 0);
  EXPECT_EQ(line->RtpPeer().address, NetworkAddress(0x7f000001));
  far.SendTo(port, RtpPacket(8, alaw));  // latches the far end
  std::string padded = RtpPacket(8, alaw);
  padded[0] = static_cast<char>(0xa0);  // padding bit
  std::string withCsrc = RtpPacket(8, alaw);
  withCsrc[0] = static_cast<char>(0x81);
  const struct {
    const testhelp::UdpPeer& from;
    std::string packet;
  } refused[] = {
      {stranger, RtpPacket(8, alaw)},                                 // a third address
      {farAddressOtherPort, RtpPacket(8, alaw)},                      // the far end's address, another port
      {far, padded},                                                  // padding
      {far, withCsrc},                                                // contributing sources
      {far, RtpPacket(8, std::vector<uint8_t>(641, 0xd5))},           // more than 640 bytes
      {far, std::string(12, '\x80')},                                 // no payload
      {far, RtpPacket(96, std::vector<uint8_t>(320, 0xd5))},          // a type the call does not use
      {far, RtpPacket(18, std::vector<uint8_t>(20, 0))},              // G.729, disabled for this call
  };
  for (const auto& c : refused) c.from.SendTo(port, c.packet);
  std::this_thread::sleep_for(250ms);
  EXPECT_EQ(line->PayloadType(), 8);
  EXPECT_EQ(HostPort(line->RtpPeer().port), far.Port());
}

TEST_F(LineMediaTest, FinishingWakesTheMediaWhichSendsTheByeAndTellsTheHost) {
  testhelp::UdpPeer far;
  std::shared_ptr<CallLine> line = Call(host, far);
  ASSERT_TRUE(OpenCallMedia(line, settings_));
  line->SetState(CallState::Connected);
  {
    std::scoped_lock lock(TheModule().ModuleLock());
    line->HangUp();
  }
  std::vector<std::string> byes = farSip_.ReceiveAll(300ms);
  ASSERT_EQ(byes.size(), 6u);
  EXPECT_EQ(byes[0].substr(0, 4), "BYE ");
  ASSERT_TRUE(WaitForLineThreads(2s));
  EXPECT_EQ(host.Reasons(), std::vector<int>{kEndFailed});
  std::vector<int16_t> frame(320, 700);
  TheModule().SendAudio(line->LineIndex(), frame.data(), 640, 0);  // the socket is closed: nothing goes out
  EXPECT_FALSE(far.Receive(100ms).has_value());
}


TEST_F(LineMediaTest, AFloodOfPeerLookupsTakesOneThreadAndRecentAnswersComeFromTheCache) {
#ifndef __linux__
  GTEST_SKIP() << "counts the process's threads in /proc";
#endif
  ASSERT_TRUE(WaitForPeerLookups(10s));  // no worker left from an earlier test
  auto threads = [] {
    std::filesystem::directory_iterator tasks("/proc/self/task");
    return std::distance(begin(tasks), end(tasks));
  };
  long threadsBefore = threads();
  // A resolver that hangs until released; even addresses have a name.
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> asked{0};
  SetReverseLookup([&](uint32_t address) {
    ++asked;
    released.wait();
    uint32_t last = HostAddress(address) & 0xff;
    return last % 2 == 0 ? "peer" + std::to_string(last) + ".example" : DottedAddress(address);
  });
  static uint32_t block = 0x0a000000;  // addresses no earlier run has cached
  block += 0x100;
  auto shown = [&](uint32_t n) {
    CallParameters parameters;
    parameters.connection = &host;
    auto line = std::make_shared<CallLine>(TheModule(), parameters);
    line->ShowCallInfo("SIP");
    StartPeerLookup(line, NetworkAddress(block + n));
    return line;
  };
  std::vector<std::shared_ptr<CallLine>> lines;
  for (uint32_t n = 0; n < 200; ++n) lines.push_back(shown(n));
  EXPECT_LE(threads(), threadsBefore + 1);
  std::weak_ptr<CallLine> waiting = lines[1];
  lines[1].reset();
  EXPECT_TRUE(waiting.expired());  // the queue holds no share of a line
  release.set_value();
  EXPECT_TRUE(WaitForPeerLookups(10s));
  int lookups = asked;
  EXPECT_LE(lookups, 16);  // the first and a full queue, less the released line; the rest skipped
  EXPECT_EQ(lines[2]->Info().Snapshot().text, "SIP (peer2.example)");
  EXPECT_EQ(shown(2)->Info().Snapshot().text, "SIP (peer2.example)");  // from the cache, at once
  shown(3);
  EXPECT_TRUE(WaitForPeerLookups(10s));
  EXPECT_EQ(asked, lookups);  // "no name" is remembered too
  SetReverseLookup(nullptr);
}

}  // namespace
}  // namespace talvenor
