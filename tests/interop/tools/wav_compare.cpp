// Compares a recording with the sound that was played into the call: the
// normalised cross-correlation at the best delay within two seconds.
//   talvenor-wav-compare SENT.wav RECEIVED.wav MIN_CORRELATION
// Prints the correlation and the delay; exits 0 when the correlation reaches
// the minimum, 1 when it does not, 2 when a file cannot be read.
//   talvenor-wav-compare --segmental SENT.wav RECEIVED.wav MAX_BAD_PERCENT
// Segmental SNR instead, over the 20 ms frames of speech in SENT (those
// within 40 dB of the loudest): each frame is aligned on its own, within
// a quarter second around the delay of the whole, since a receive buffer
// may move the delay in pauses. A frame below 10 dB is bad. Prints the mean
// SNR (each frame capped at 60 dB), the share of bad frames and whether
// every speech frame arrived exact; exits 0 when the bad frames are at most
// the share given.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

bool Read(const char* path, std::vector<double>& samples) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path, SFM_READ, &info);
  if (file == nullptr || info.channels != 1) {
    std::fprintf(stderr, "cannot read %s as a mono sound file\n", path);
    if (file != nullptr) sf_close(file);
    return false;
  }
  samples.resize(static_cast<size_t>(info.frames));
  sf_read_double(file, samples.data(), info.frames);
  sf_close(file);
  return true;
}

// The delay within [from, to) at which `received` matches `sent` best over
// [start, start + length) of `sent`.
size_t BestDelay(const std::vector<double>& sent, const std::vector<double>& received, size_t start,
                 size_t length, size_t from, size_t to) {
  double best = -2;
  size_t bestDelay = from;
  for (size_t delay = from; delay < to; ++delay) {
    double product = 0, sentEnergy = 0, receivedEnergy = 0;
    for (size_t index = start; index < start + length && index + delay < received.size(); ++index) {
      product += sent[index] * received[index + delay];
      sentEnergy += sent[index] * sent[index];
      receivedEnergy += received[index + delay] * received[index + delay];
    }
    if (sentEnergy <= 0 || receivedEnergy <= 0) continue;
    double correlation = product / std::sqrt(sentEnergy * receivedEnergy);
    if (correlation > best) {
      best = correlation;
      bestDelay = delay;
    }
  }
  return bestDelay;
}

int Segmental(const std::vector<double>& sent, const std::vector<double>& received, double maxBadPercent) {
  constexpr size_t kFrame = 160, kWindow = 1600, kSearch = 2000, kMaxDelay = 16000;
  size_t whole = BestDelay(sent, received, 0, sent.size(), 0, std::min(kMaxDelay, received.size()));
  double loudest = 0;
  for (size_t at = 0; at + kFrame <= sent.size(); at += kFrame) {
    double energy = 0;
    for (size_t index = at; index < at + kFrame; ++index) energy += sent[index] * sent[index];
    loudest = std::max(loudest, energy);
  }
  size_t speech = 0, bad = 0, exact = 0;
  double total = 0;
  for (size_t at = 0; at + kFrame <= sent.size(); at += kFrame) {
    double energy = 0;
    for (size_t index = at; index < at + kFrame; ++index) energy += sent[index] * sent[index];
    if (energy <= 0 || energy < loudest * 1e-4) continue;
    ++speech;
    size_t windowStart = at + kFrame / 2 > kWindow / 2 ? at + kFrame / 2 - kWindow / 2 : 0;
    size_t windowLength = std::min(kWindow, sent.size() - windowStart);
    size_t from = whole > kSearch / 2 ? whole - kSearch / 2 : 0;
    size_t delay = BestDelay(sent, received, windowStart, windowLength, from, whole + kSearch / 2);
    double noise = 0;
    for (size_t index = at; index < at + kFrame; ++index) {
      double heard = index + delay < received.size() ? received[index + delay] : 0;
      noise += (sent[index] - heard) * (sent[index] - heard);
    }
    double snr = noise > 0 ? std::min(60.0, 10 * std::log10(energy / noise)) : 60.0;
    if (noise == 0) ++exact;
    if (snr < 10) ++bad;
    total += snr;
  }
  if (speech == 0) {
    std::printf("no speech in the sent file\n");
    return 2;
  }
  double badPercent = 100.0 * static_cast<double>(bad) / static_cast<double>(speech);
  std::printf("segmental SNR %.1f dB, %.1f %% bad frames of %zu, %s, delay %zu samples\n",
              total / static_cast<double>(speech), badPercent, speech, exact == speech ? "bit-exact" : "not exact",
              whole);
  return badPercent <= maxBadPercent ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--segmental") == 0) {
    std::vector<double> sent, received;
    if (!Read(argv[2], sent) || !Read(argv[3], received)) return 2;
    return Segmental(sent, received, std::atof(argv[4]));
  }
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s SENT.wav RECEIVED.wav MIN_CORRELATION\n", argv[0]);
    return 2;
  }
  std::vector<double> sent;
  std::vector<double> received;
  if (!Read(argv[1], sent) || !Read(argv[2], received)) return 2;
  const double minimum = std::atof(argv[3]);
  const size_t maxDelay = 16000;  // two seconds at 8000 per second
  double best = 0;
  size_t bestDelay = 0;
  for (size_t delay = 0; delay < maxDelay && delay < received.size(); delay += 1) {
    double product = 0, sentEnergy = 0, receivedEnergy = 0;
    size_t length = std::min(sent.size(), received.size() - delay);
    for (size_t index = 0; index < length; ++index) {
      product += sent[index] * received[index + delay];
      sentEnergy += sent[index] * sent[index];
      receivedEnergy += received[index + delay] * received[index + delay];
    }
    if (sentEnergy <= 0 || receivedEnergy <= 0) continue;
    double correlation = product / std::sqrt(sentEnergy * receivedEnergy);
    if (correlation > best) {
      best = correlation;
      bestDelay = delay;
    }
  }
  std::printf("correlation %.3f at a delay of %zu samples\n", best, bestDelay);
  return best >= minimum ? 0 : 1;
}
