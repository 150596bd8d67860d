// Wraps raw G.711 mu-law audio into a capture of RTP packets (pcap, Ethernet,
// IPv4, UDP), 160 bytes every 20 ms, for SIPp's play_pcap_audio.
//   talvenor-rtp-pcap [--seed N --loss PERCENT --jitter MS] AUDIO.ulaw OUT.pcap
// With an impairment the network is played too: each packet is lost with
// that chance, or delayed by 0 to MS milliseconds (so later packets may
// overtake it), drawn from a generator seeded with N: the same capture
// every time.
#include <arpa/inet.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace {

void Put(std::vector<uint8_t>& out, uint32_t value, int bytes, bool bigEndian) {
  for (int index = 0; index < bytes; ++index) {
    int shift = bigEndian ? 8 * (bytes - 1 - index) : 8 * index;
    out.push_back(static_cast<uint8_t>(value >> shift));
  }
}

uint16_t Checksum(const uint8_t* header, size_t length) {
  uint32_t sum = 0;
  for (size_t index = 0; index + 1 < length; index += 2) sum += (header[index] << 8) | header[index + 1];
  while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

}  // namespace

struct Captured {
  uint64_t micros;
  std::vector<uint8_t> frame;
};

int main(int argc, char** argv) {
  unsigned long seed = 1, lossPercent = 0, jitterMs = 0;
  int first = 1;
  for (; first + 1 < argc && std::strncmp(argv[first], "--", 2) == 0; first += 2) {
    unsigned long value = std::strtoul(argv[first + 1], nullptr, 10);
    if (std::strcmp(argv[first], "--seed") == 0) seed = value;
    else if (std::strcmp(argv[first], "--loss") == 0) lossPercent = std::min(value, 100UL);
    else if (std::strcmp(argv[first], "--jitter") == 0) jitterMs = std::min(value, 10000UL);
    else first = argc;
  }
  if (argc - first != 2) {
    std::fprintf(stderr, "usage: %s [--seed N --loss PERCENT --jitter MS] AUDIO.ulaw OUT.pcap\n", argv[0]);
    return 2;
  }
  std::ifstream input(argv[first], std::ios::binary);
  std::vector<uint8_t> audio((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
  if (audio.empty()) {
    std::fprintf(stderr, "no audio in %s\n", argv[first]);
    return 2;
  }
  std::mt19937 network(static_cast<std::mt19937::result_type>(seed));  // its output is the same everywhere
  std::vector<Captured> packets;
  std::vector<uint8_t> out;
  Put(out, 0xa1b2c3d4, 4, false);  // pcap, microsecond timestamps
  Put(out, 2, 2, false);
  Put(out, 4, 2, false);
  Put(out, 0, 4, false);
  Put(out, 0, 4, false);
  Put(out, 65535, 4, false);
  Put(out, 1, 4, false);  // Ethernet
  constexpr size_t kChunk = 160;
  uint16_t sequence = 1;
  uint32_t timestamp = 0;
  for (size_t at = 0; at + kChunk <= audio.size(); at += kChunk, ++sequence, timestamp += kChunk) {
    std::vector<uint8_t> frame(12, 0);  // no real MAC addresses are needed
    frame.push_back(0x08);
    frame.push_back(0x00);
    size_t ip = frame.size();
    uint16_t udpLength = static_cast<uint16_t>(8 + 12 + kChunk);
    Put(frame, 0x4500, 2, true);
    Put(frame, 20 + udpLength, 2, true);
    Put(frame, sequence, 2, true);
    Put(frame, 0, 2, true);
    Put(frame, 0x4011, 2, true);  // TTL 64, UDP
    Put(frame, 0, 2, true);
    Put(frame, 0x7f000001, 4, true);
    Put(frame, 0x7f000001, 4, true);
    uint16_t checksum = Checksum(frame.data() + ip, 20);
    frame[ip + 10] = static_cast<uint8_t>(checksum >> 8);
    frame[ip + 11] = static_cast<uint8_t>(checksum);
    Put(frame, 6000, 2, true);
    Put(frame, 8000, 2, true);
    Put(frame, udpLength, 2, true);
    Put(frame, 0, 2, true);
    frame.push_back(0x80);  // RTP version 2
    frame.push_back(0);     // PCMU
    Put(frame, sequence, 2, true);
    Put(frame, timestamp, 4, true);
    Put(frame, 0x12345678, 4, true);
    frame.insert(frame.end(), audio.begin() + static_cast<std::ptrdiff_t>(at),
                 audio.begin() + static_cast<std::ptrdiff_t>(at + kChunk));
    uint64_t micros = static_cast<uint64_t>(sequence) * 20000;
    bool lost = network() % 100 < lossPercent;
    micros += network() % (jitterMs * 1000 + 1);
    if (!lost) packets.push_back({micros, std::move(frame)});
  }
  // In the order they arrive: SIPp sends them at the capture's times.
  std::stable_sort(packets.begin(), packets.end(),
                   [](const Captured& a, const Captured& b) { return a.micros < b.micros; });
  for (const Captured& packet : packets) {
    Put(out, static_cast<uint32_t>(packet.micros / 1000000), 4, false);
    Put(out, static_cast<uint32_t>(packet.micros % 1000000), 4, false);
    Put(out, static_cast<uint32_t>(packet.frame.size()), 4, false);
    Put(out, static_cast<uint32_t>(packet.frame.size()), 4, false);
    out.insert(out.end(), packet.frame.begin(), packet.frame.end());
  }
  std::ofstream output(argv[first + 1], std::ios::binary);
  output.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  return output ? 0 : 1;
}
