// WAV files through the system's multimedia file functions: a RIFF "WAVE"
// file with its "fmt " and "data" chunks.
#include "apps/nuvex-phone/platform/wav_files.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>

#include "apps/nuvex-phone/platform/win32/wide_text.h"

namespace nuvex {

namespace {

constexpr DWORD kRate = 8000;
constexpr WORD kBits = 16;
constexpr size_t kSampleBytes = kBits / 8;

std::string OpenErrorText(UINT error) {
  switch (error) {
    case MMIOERR_FILENOTFOUND:
      return "no such file";
    case MMIOERR_PATHNOTFOUND:
      return "no such folder";
    case MMIOERR_ACCESSDENIED:
    case MMIOERR_SHARINGVIOLATION:
      return "access denied";
    case MMIOERR_TOOMANYOPENFILES:
      return "too many open files";
    default:
      return "error " + std::to_string(error);
  }
}

HMMIO OpenFile(const std::string& path, DWORD mode, std::string& why) {
  std::wstring wide = WideText(path);
  MMIOINFO info{};
  HMMIO file = mmioOpenW(wide.data(), &info, mode | MMIO_ALLOCBUF);
  if (file == nullptr) why = OpenErrorText(info.wErrorRet);
  return file;
}

PCMWAVEFORMAT CallFormat() {
  PCMWAVEFORMAT format{};
  format.wf.wFormatTag = WAVE_FORMAT_PCM;
  format.wf.nChannels = 1;
  format.wf.nSamplesPerSec = kRate;
  format.wf.nAvgBytesPerSec = kRate * kSampleBytes;
  format.wf.nBlockAlign = kSampleBytes;
  format.wBitsPerSample = kBits;
  return format;
}

// Within the RIFF "WAVE" chunk: the format is the calls' own, and `data`
// is the data chunk, descended into.
bool FindCallAudio(HMMIO file, MMCKINFO& data) {
  MMCKINFO riff{};
  riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  if (mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) return false;
  MMCKINFO chunk{};
  chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
  if (mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) return false;
  PCMWAVEFORMAT format{};
  if (chunk.cksize < sizeof format ||
      mmioRead(file, reinterpret_cast<HPSTR>(&format), sizeof format) != static_cast<LONG>(sizeof format)) {
    return false;
  }
  PCMWAVEFORMAT wanted = CallFormat();
  bool usable = format.wf.wFormatTag == wanted.wf.wFormatTag && format.wf.nChannels == wanted.wf.nChannels &&
                format.wf.nSamplesPerSec == wanted.wf.nSamplesPerSec && format.wBitsPerSample == wanted.wBitsPerSample;
  if (!usable || mmioAscend(file, &chunk, 0) != MMSYSERR_NOERROR) return false;
  data.ckid = mmioFOURCC('d', 'a', 't', 'a');
  return mmioDescend(file, &data, &riff, MMIO_FINDCHUNK) == MMSYSERR_NOERROR;
}

}  // namespace

// A file being written has its chunks' sizes filled in when it closes.
struct WavFile {
  explicit WavFile(HMMIO opened) : file(opened) {}
  ~WavFile() {
    if (writing) {
      mmioAscend(file, &data, 0);
      mmioAscend(file, &riff, 0);
    }
    mmioClose(file, 0);
  }
  WavFile(const WavFile&) = delete;
  WavFile& operator=(const WavFile&) = delete;

  const HMMIO file;
  bool writing = false;
  MMCKINFO riff{};
  MMCKINFO data{};
  DWORD unread = 0;  // bytes of the data chunk a source has still to read
};

std::unique_ptr<WavSource> WavSource::Open(const std::string& path) {
  std::string why;
  HMMIO opened = OpenFile(path, MMIO_READ, why);
  if (opened == nullptr) {
    std::fprintf(stderr, "nuvex-phone: cannot read %s: %s\n", path.c_str(), why.c_str());
    return nullptr;
  }
  auto file = std::make_unique<WavFile>(opened);
  if (!FindCallAudio(opened, file->data)) {
    std::fprintf(stderr, "nuvex-phone: %s is not an 8000 Hz mono 16-bit PCM WAV file\n", path.c_str());
    return nullptr;
  }
  file->unread = file->data.cksize;
  return std::unique_ptr<WavSource>(new WavSource(std::move(file)));
}

WavSource::WavSource(std::unique_ptr<WavFile> file) : file_(std::move(file)) {}

WavSource::~WavSource() = default;

void WavSource::Read(std::span<int16_t> frame) {
  size_t wanted = std::min<size_t>(frame.size() * kSampleBytes, file_->unread);
  wanted -= wanted % kSampleBytes;
  LONG got = wanted == 0 ? 0 : mmioRead(file_->file, reinterpret_cast<HPSTR>(frame.data()), static_cast<LONG>(wanted));
  size_t samples = got > 0 ? static_cast<size_t>(got) / kSampleBytes : 0;
  file_->unread = got > 0 ? file_->unread - static_cast<DWORD>(got) : 0;
  std::fill(frame.begin() + static_cast<std::ptrdiff_t>(samples), frame.end(), int16_t{0});
}

std::unique_ptr<WavSink> WavSink::Create(const std::string& path) {
  std::string why;
  HMMIO opened = OpenFile(path, MMIO_CREATE | MMIO_WRITE, why);
  if (opened == nullptr) {
    std::fprintf(stderr, "nuvex-phone: cannot write %s: %s\n", path.c_str(), why.c_str());
    return nullptr;
  }
  auto file = std::make_unique<WavFile>(opened);
  file->riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  MMCKINFO formatChunk{};
  formatChunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
  formatChunk.cksize = sizeof(PCMWAVEFORMAT);
  PCMWAVEFORMAT format = CallFormat();
  file->data.ckid = mmioFOURCC('d', 'a', 't', 'a');
  bool started = mmioCreateChunk(opened, &file->riff, MMIO_CREATERIFF) == MMSYSERR_NOERROR &&
                 mmioCreateChunk(opened, &formatChunk, 0) == MMSYSERR_NOERROR &&
                 mmioWrite(opened, reinterpret_cast<const char*>(&format), sizeof format) ==
                     static_cast<LONG>(sizeof format) &&
                 mmioAscend(opened, &formatChunk, 0) == MMSYSERR_NOERROR &&
                 mmioCreateChunk(opened, &file->data, 0) == MMSYSERR_NOERROR;
  if (!started) {
    std::fprintf(stderr, "nuvex-phone: cannot write %s: the file refused its header\n", path.c_str());
    return nullptr;
  }
  file->writing = true;
  return std::unique_ptr<WavSink>(new WavSink(std::move(file)));
}

WavSink::WavSink(std::unique_ptr<WavFile> file) : file_(std::move(file)) {}

WavSink::~WavSink() = default;

void WavSink::Write(std::span<const int16_t> frame) {
  mmioWrite(file_->file, reinterpret_cast<const char*>(frame.data()), static_cast<LONG>(frame.size_bytes()));
}

}  // namespace nuvex
