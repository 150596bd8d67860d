// Wraps raw G.711 mu-law audio into a capture of RTP packets (pcap, Ethernet,
// IPv4, UDP), 160 bytes every 20 ms, for SIPp's play_pcap_audio.
//   talvenor-rtp-pcap AUDIO.ulaw OUT.pcap
#include <arpa/inet.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
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

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s AUDIO.ulaw OUT.pcap\n", argv[0]);
    return 2;
  }
  std::ifstream input(argv[1], std::ios::binary);
  std::vector<uint8_t> audio((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
  if (audio.empty()) {
    std::fprintf(stderr, "no audio in %s\n", argv[1]);
    return 2;
  }
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
    Put(out, static_cast<uint32_t>(micros / 1000000), 4, false);
    Put(out, static_cast<uint32_t>(micros % 1000000), 4, false);
    Put(out, static_cast<uint32_t>(frame.size()), 4, false);
    Put(out, static_cast<uint32_t>(frame.size()), 4, false);
    out.insert(out.end(), frame.begin(), frame.end());
  }
  std::ofstream output(argv[2], std::ios::binary);
  output.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  return output ? 0 : 1;
}
