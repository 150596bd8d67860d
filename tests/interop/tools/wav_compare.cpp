// Compares a recording with the sound that was played into the call: the
// normalised cross-correlation at the best delay within two seconds.
//   talvenor-wav-compare SENT.wav RECEIVED.wav MIN_CORRELATION
// Prints the correlation and the delay; exits 0 when the correlation reaches
// the minimum, 1 when it does not, 2 when a file cannot be read.
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
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

}  // namespace

int main(int argc, char** argv) {
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
