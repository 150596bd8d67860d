// The RTP receive path of a call line on real sockets of 127.0.0.1: every
// input opens the media of a fresh, answered outgoing call (LineMedia::Open
// and its receive thread), sends it arbitrary datagrams, and ends the call.
// The receive thread checks each datagram's length and header, latches the
// first source, decodes G.711 (0, 8), GSM (3) or G.729 (18, when the library
// named by TALVENOR_FUZZ_G729_LIBRARY loads) and hands the host frames.
//
// Input: one flags byte, then up to 16 records of a selector byte, a 16-bit
// big-endian length and that many bytes of datagram (cut at the input's end).
//   flags bit 0, 1, 2, 3: the call may use type 0, 3, 8, 18
//   flags bit 4: the call may use type 2, which has no codec here
//   flags bit 5: when the first datagram fit for RTP comes from 127.0.0.1,
//                the call's SIP peer is 127.0.0.2: the media comes from
//                elsewhere, and a reverse lookup of 127.0.0.1 starts (which
//                the hosts file answers); otherwise the SIP peer is where
//                the media comes from, so that no lookup asks a name server
//   flags bits 6-7: the host releases no frame / every frame / every second
//                frame / every third frame as soon as it gets it
//   selector bit 0: sent from 127.0.0.2 instead of 127.0.0.1
//
// Checked: the host gets 640-byte frames, never more than 7 unreleased,
// OnConnected at most once, the call information as composed for RTP, and
// OnDisconnected exactly once when the call ends; the receive thread handles
// every datagram and ends when woken.
//
// Knowing when the receive thread has handled every datagram: one more
// datagram, too short for RTP, follows them. The receive thread takes the
// datagrams one by one, each only after it has handled the one before, so
// once its socket holds nothing (looked at with MSG_PEEK on the line's own
// descriptor) every datagram of the input has been handled.
#include <arpa/inet.h>
#include <dirent.h>
#include <errno.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "calls/call_media.h"
#include "calls/call_context.h"
#include "calls/call_line.h"
#include "calls/call_state.h"
#include "calls/line_threads.h"
#include "media/line_media.h"
#include "media/g729_library.h"
#include "config/module_settings.h"
#include "platform/endpoint.h"
#include "platform/message_box.h"
#include "platform/resolver.h"
#include "sip/sdp.h"

namespace {

using namespace talvenor;
using namespace std::chrono_literals;

constexpr size_t kMostRecords = 16;
constexpr size_t kLongestDatagram = 2048;
constexpr int kFrameBytes = 640;
constexpr int kFrameLimit = 7;
constexpr uint32_t kLoopback = 0x7f000001;  // host order
constexpr uint32_t kSecondLoopback = 0x7f000002;

// What a call line needs of the module: nothing is sent anywhere.
class QuietContext final : public CallContext {
public:
  long SendSip(std::string_view text, const Ipv4Endpoint&) const override { return static_cast<long>(text.size()); }
  uint16_t AdvertisedSipPort() const override { return 5060; }
  bool G729Busy() const override { return g729Busy_; }
  void SetG729Busy(bool busy) const override { g729Busy_ = busy; }
  std::recursive_mutex& LinesLock() const override { return lock_; }
  void ReleaseOwnLine(const CallLine&) override {}

private:
  mutable std::atomic<bool> g729Busy_{false};
  mutable std::recursive_mutex lock_;
};

// The host's side of the call: checks what it is handed and releases frames
// as the input says, always on the receive thread, so that the order of
// events does not depend on timing.
class Host final : public CCon {
public:
  void Begin(CallLine* line, int releaseEvery, std::vector<uint16_t> senderPorts) {
    std::scoped_lock lock(mutex_);
    line_ = line;
    releaseEvery_ = releaseEvery;
    senderPorts_ = std::move(senderPorts);
    frames_ = 0;
    held_ = 0;
    connected_ = 0;
    disconnected_ = 0;
  }
  bool WaitForDisconnect(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return disconnected_ != 0; });
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
    changed_.notify_all();
  }
  void OnAudioSent() override { __builtin_trap(); }  // nothing is sent here
  void OnAudioReceived(const short* samples, int byteCount, int) override {
    std::scoped_lock lock(mutex_);
    if (samples == nullptr || byteCount != kFrameBytes || line_ == nullptr) __builtin_trap();
    // At most 7 frames unreleased, by the host's count and by the line's.
    if (++held_ > kFrameLimit || line_->OutstandingFrames() > kFrameLimit) __builtin_trap();
    ++frames_;
    if (releaseEvery_ != 0 && frames_ % releaseEvery_ == 0) {
      line_->ReleaseFrame();
      --held_;
    }
  }
  void OnCallInfo(const CString& text) override {
    // "RTP\<codec> <address>:<port>", where the media comes from; a reverse
    // lookup may add " (<name>)" later, also for an earlier call.
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
    where = where.substr(0, where.find(' '));
    bool ours = false;
    std::scoped_lock lock(mutex_);
    for (uint16_t port : senderPorts_) {
      for (const char* address : {"127.0.0.1:", "127.0.0.2:"}) {
        ours = ours || where == std::string(address) + std::to_string(port);
      }
    }
    if (!ours) __builtin_trap();
  }

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  CallLine* line_ = nullptr;
  int releaseEvery_ = 0;
  std::vector<uint16_t> senderPorts_;
  int frames_ = 0;
  int held_ = 0;
  int connected_ = 0;
  int disconnected_ = 0;
};

// A far end's socket on a loopback address, on a port of the system's choice.
class Sender {
public:
  explicit Sender(uint32_t hostAddress) {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(hostAddress);
    socklen_t length = sizeof local;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
      std::fprintf(stderr, "rtp_receive_fuzz: no UDP socket on %08x\n", hostAddress);
      std::abort();
    }
    port_ = ntohs(local.sin_port);
  }
  uint16_t Port() const { return port_; }
  void SendTo(uint16_t port, std::string_view datagram) const {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(kLoopback);
    to.sin_port = htons(port);
    if (sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) !=
        static_cast<ssize_t>(datagram.size())) {
      std::perror("rtp_receive_fuzz: sendto");
      std::abort();
    }
  }

private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

// The descriptor of this process's UDP socket bound to 127.0.0.1:port; -1 when none is.
int SocketOnPort(uint16_t port) {
  DIR* folder = opendir("/proc/self/fd");
  if (folder == nullptr) return -1;
  int found = -1;
  while (dirent* entry = readdir(folder)) {
    int fd = std::atoi(entry->d_name);
    if (fd <= 2 || fd == dirfd(folder)) continue;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    int type = 0;
    socklen_t typeLength = sizeof type;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0 && local.sin_family == AF_INET &&
        ntohs(local.sin_port) == port && getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) == 0 &&
        type == SOCK_DGRAM) {
      found = fd;
      break;
    }
  }
  closedir(folder);
  return found;
}

// Waits until the socket holds no datagram; false when it still does after the limit.
bool WaitUntilEmpty(int fd, std::chrono::milliseconds limit) {
  auto end = std::chrono::steady_clock::now() + limit;
  char byte;
  while (recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(20us);
  }
  return true;
}

// An even base port whose four ports (base, +2, +4, +6) are free on 127.0.0.1.
uint16_t FreeBasePort() {
  for (uint16_t base = 20000 + static_cast<uint16_t>(getpid() % 2000) * 16; base < 64000; base += 16) {
    std::vector<int> probes;
    bool free = true;
    for (uint16_t offset = 0; offset < 8 && free; offset += 2) {
      int fd = socket(AF_INET, SOCK_DGRAM, 0);
      sockaddr_in local{};
      local.sin_family = AF_INET;
      local.sin_addr.s_addr = htonl(kLoopback);
      local.sin_port = htons(static_cast<uint16_t>(base + offset));
      free = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
      if (fd >= 0) probes.push_back(fd);
    }
    for (int fd : probes) close(fd);
    if (free) return base;
  }
  std::fprintf(stderr, "rtp_receive_fuzz: no free RTP ports\n");
  std::abort();
}

struct Fixture {
  QuietContext context;
  Host host;
  Sender near{kLoopback};
  Sender far{kSecondLoopback};
  MediaSettings settings;
  bool g729 = false;
};

Fixture& TheFixture() {
  static Fixture* fixture = new Fixture;  // outlives line threads at exit
  return *fixture;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetMessageBackend([](int, const std::string&, MessageIcon) {});
  SetHostLookup([](const std::string&) -> uint32_t { return 0; });
  Fixture& fixture = TheFixture();
  if (const char* library = std::getenv("TALVENOR_FUZZ_G729_LIBRARY"); library != nullptr && *library != '\0') {
    if (!LoadG729Library({library}) || !Settings().G729Available) {
      std::fprintf(stderr, "rtp_receive_fuzz: %s is no G.729 library\n", library);
      std::abort();
    }
    fixture.g729 = true;
  }
  fixture.settings.rtpBasePort = FreeBasePort();
  fixture.settings.bindAddress = htonl(kLoopback);
  fixture.settings.localAddress = "127.0.0.1";
  fixture.settings.g729 = SharedG729Library();
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
  enabled[kPayloadG729] = (flags & 8) != 0 && fixture.g729;
  enabled[2] = (flags & 16) != 0;
  // The records: which socket sends what.
  struct Record {
    bool fromSecond;
    std::string_view datagram;
  };
  std::vector<Record> records;
  for (size_t at = 1; records.size() < kMostRecords && at + 3 <= size;) {
    size_t length = std::min<size_t>({size_t{data[at + 1]} << 8 | data[at + 2], size - at - 3, kLongestDatagram});
    records.push_back({(data[at] & 1) != 0, std::string_view(reinterpret_cast<const char*>(data) + at + 3, length)});
    at += 3 + length;
  }
  bool firstFromSecond = false;
  for (const Record& record : records) {
    if (record.datagram.size() > 12 && record.datagram.size() <= 12 + 640 && record.datagram[0] == '\x80') {
      firstFromSecond = record.fromSecond;
      break;
    }
  }
  uint32_t sipPeer = firstFromSecond || (flags & 32) ? kSecondLoopback : kLoopback;
  int releaseEvery = flags >> 6;

  CallParameters parameters;
  parameters.connection = &fixture.host;
  parameters.target = "far@127.0.0.1";
  parameters.enabledPayloadTypes = enabled;
  auto line = std::make_shared<CallLine>(fixture.context, parameters);
  line->SetSipPeer({htonl(sipPeer), NetworkPort(5060)});
  line->SetRtpPeer({htonl(kLoopback), NetworkPort(fixture.near.Port())});
  fixture.host.Begin(line.get(), releaseEvery, {fixture.near.Port(), fixture.far.Port()});
  if (!OpenCallMedia(line, fixture.settings)) {
    std::fprintf(stderr, "rtp_receive_fuzz: the media did not open\n");
    std::abort();
  }
  line->endReason = kEndNormal;  // answered
  uint16_t port = line->localRtpPort;

  for (const Record& record : records) (record.fromSecond ? fixture.far : fixture.near).SendTo(port, record.datagram);

  // The datagram that ends the input (see the top of this file).
  int received = SocketOnPort(port);
  if (received < 0) {
    std::fprintf(stderr, "rtp_receive_fuzz: the line's socket is not to be found\n");
    std::abort();
  }
  fixture.near.SendTo(port, "\x80");
  if (!WaitUntilEmpty(received, 10s)) __builtin_trap();  // the receive thread stopped taking datagrams
  bool connected = line->state == CallState::Connected;

  {
    std::scoped_lock lock(fixture.context.LinesLock());
    line->Finish();
  }
  if (!fixture.host.WaitForDisconnect(10s)) __builtin_trap();  // woken, the receive thread ends
  fixture.host.CheckEnd(connected);
  // The receive thread is gone, and with it the socket; a reverse lookup
  // started for the media's source may still run: it is waited for, so
  // that a slow resolver cannot pile up threads.
  if (!WaitForLineThreads(30s)) std::fprintf(stderr, "rtp_receive_fuzz: a line thread is still running\n");
  return 0;
}
