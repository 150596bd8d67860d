#include "apps/nuvex-phone/platform/wav_files.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdio>

namespace nuvex {

namespace {
constexpr int kRate = 8000;
}  // namespace

struct WavFile {
  explicit WavFile(SNDFILE* opened) : file(opened) {}
  ~WavFile() { sf_close(file); }
  WavFile(const WavFile&) = delete;
  WavFile& operator=(const WavFile&) = delete;
  SNDFILE* const file;
};

std::unique_ptr<WavSource> WavSource::Open(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) {
    std::fprintf(stderr, "nuvex-phone: cannot read %s: %s\n", path.c_str(), sf_strerror(nullptr));
    return nullptr;
  }
  bool usable = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV &&
                (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 && info.channels == 1 &&
                info.samplerate == kRate;
  if (!usable) {
    std::fprintf(stderr, "nuvex-phone: %s is not an 8000 Hz mono 16-bit PCM WAV file\n", path.c_str());
    sf_close(file);
    return nullptr;
  }
  return std::unique_ptr<WavSource>(new WavSource(std::make_unique<WavFile>(file)));
}

WavSource::WavSource(std::unique_ptr<WavFile> file) : file_(std::move(file)) {}

WavSource::~WavSource() = default;

void WavSource::Read(std::span<int16_t> frame) {
  sf_count_t read = sf_read_short(file_->file, frame.data(), static_cast<sf_count_t>(frame.size()));
  std::fill(frame.begin() + std::max<sf_count_t>(read, 0), frame.end(), int16_t{0});
}

std::unique_ptr<WavSink> WavSink::Create(const std::string& path) {
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    std::fprintf(stderr, "nuvex-phone: cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
    return nullptr;
  }
  return std::unique_ptr<WavSink>(new WavSink(std::make_unique<WavFile>(file)));
}

WavSink::WavSink(std::unique_ptr<WavFile> file) : file_(std::move(file)) {}

WavSink::~WavSink() = default;

void WavSink::Write(std::span<const int16_t> frame) {
  sf_write_short(file_->file, frame.data(), static_cast<sf_count_t>(frame.size()));
}

}  // namespace nuvex
