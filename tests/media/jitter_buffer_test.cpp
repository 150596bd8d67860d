// The receive buffer alone, driven by a script per row:
//   +S:T@A  packet S (payload byte S % 256), timestamp T, arriving at A; "m" after T: marker
//   ~N      N more packets after the last, 20 ms apart, every third one 200 ms late
//   .  q    the playout takes the next piece (q: after a quiet frame)
//   rN      the playout stalls for N samples, then resynchronises
// Each piece taken prints as pS (a packet), cN (N samples made up) or sN (silence).
#include "media/jitter_buffer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace talvenor {
namespace {

struct Row {
  const char* what;
  const char* script;
  const char* played;
  uint32_t delay;  // the playout delay at the end
};

std::string Play(const char* script, JitterBuffer& buffer) {
  std::istringstream steps(script);
  std::string step, played;
  int64_t now = 0;
  unsigned sequence = 0, timestamp = 0;
  auto put = [&](unsigned s, unsigned t, bool marker, int64_t at) {
    std::byte payload{static_cast<uint8_t>(s)};
    buffer.Put({marker, 0, static_cast<uint16_t>(s), t, 1}, std::span(&payload, 1), at);
    sequence = s;
    timestamp = t;
  };
  while (steps >> step) {
    if (step[0] == '+') {
      unsigned s = 0, t = 0;
      long at = 0;
      char marker = 0;
      if (std::sscanf(step.c_str(), "+%u:%u%c", &s, &t, &marker) < 2) return "bad step " + step;
      std::sscanf(step.c_str() + step.find('@') + 1, "%ld", &at);
      put(s, t, marker == 'm', at);
    } else if (step[0] == 'r') {
      now += std::stol(step.substr(1));
      buffer.Resync(now);
    } else if (step[0] == '~') {
      for (int count = std::stoi(step.substr(1)); count-- > 0;) {
        put(sequence + 1, timestamp + 160, false, timestamp + 160 + (sequence % 3 == 0 ? 1600 : 0));
      }
    } else {
      JitterBuffer::Piece piece = buffer.Next(now, 160, step == "q");
      using Kind = JitterBuffer::Piece::Kind;
      size_t samples = piece.samples;
      if (piece.kind == Kind::Packet) {
        played += "p" + std::to_string(std::to_integer<int>(piece.payload[0])) + " ";
        buffer.Played(samples = 160);
      } else if (piece.kind == Kind::Nothing) {
        played += "- ";
        samples = 160;
      } else {
        played += (piece.kind == Kind::Conceal ? "c" : "s") + std::to_string(samples) + " ";
      }
      now += static_cast<int64_t>(samples);
    }
  }
  if (!played.empty()) played.pop_back();
  return played;
}

TEST(JitterBuffer, PlaysInOrderAndMakesUpOnlyWhatIsLost) {
  const Row rows[] = {
      {"nothing before a first packet", ". .", "- -", 320},
      {"order, 40 ms behind the first", "+3:480@0 +1:160@0 +2:320@0 . . . . .", "s160 s160 p1 p2 p3", 320},
      {"sequence wrap", "+65535:0@0 +0:160@0 +65534:4294967136@0 +1:320@0 . . . . . .",
       "s160 s160 p254 p255 p0 p1", 320},
      {"duplicates and packets already played",
       "+1:0@0 +2:160@0 +2:160@0 . . . . +1:0@480 +3:320@480 . .", "s160 s160 p1 p2 p3 c160", 320},
      {"late after its gap was made up", "+1:0@0 +2:160@0 +4:480@0 . . . . . +3:320@800 . .",
       "s160 s160 p1 p2 c160 p4 c160", 320},
      {"a loss is made up", "+1:0@0 +2:160@160 +5:640@640 . . . . . . .", "s160 s160 p1 p2 c160 c160 p5", 320},
      {"made up for 60 ms, then silence", "+1:0@0 . . . . . . . .", "s160 s160 p1 c160 c160 c160 s160 s160", 320},
      {"a gap the sender marks is silence, the spurt anchored afresh",
       "+1:0@0 +2:160@160 +3:800m@800 . . . . . . . . .", "s160 s160 p1 p2 s160 s160 s80 p3 c160", 240},
      {"a sequence jump restarts the stream", "+1:0@0 . . . +40000:90000@480 . . . .",
       "s160 s160 p1 s160 s80 p64 c160", 240},
      {"a stalled playout drops what it missed and starts afresh",
       "+1:0@0 +2:160@160 +3:320@320 +4:480@480 . . . r1600 +5:640@2240 . . . . . .",
       "s160 s160 p1 s160 s160 s160 s160 s60 p5",
       540},
      {"jitter raises the delay only in quiet", "+1:0@0 ~20 . . .", "s160 s160 p1", 320},
      {"jitter raises the delay in quiet, to its bound", "+1:0@0 ~20 q q q q q q q q q q q q .",
       "s160 s160 s160 s160 s160 s160 s160 s160 s160 s160 p1 p2 p3", 1600},
      {"a wild timestamp starts a spurt, its step in the jitter bounded",
       "+1:0@0 +2:2000000000@160 . . . . . . . . . . . . .",
       "s160 s160 p1 s160 s160 s160 s160 s160 s160 s160 p2 c160 c160", 1440},
  };
  for (const Row& row : rows) {
    JitterBuffer buffer;
    EXPECT_EQ(Play(row.script, buffer), row.played) << row.what;
    EXPECT_EQ(buffer.Delay(), row.delay) << row.what;
  }
}

}  // namespace
}  // namespace talvenor
