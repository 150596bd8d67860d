// The phone's microphone and loudspeaker when they are files: WAV, 8000
// samples per second, mono, 16-bit PCM.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace nuvex {

class WavSource {
public:
  // Nothing, after a message on stderr, when the file cannot be read or is
  // not 8 kHz mono 16-bit PCM.
  static std::unique_ptr<WavSource> Open(const std::string& path);
  ~WavSource();
  // Fills the frame from the file; silence once the file has ended.
  void Read(std::span<int16_t> frame);

private:
  explicit WavSource(void* file) : file_(file) {}
  void* file_;  // SNDFILE
};

class WavSink {
public:
  static std::unique_ptr<WavSink> Create(const std::string& path);
  ~WavSink();
  void Write(std::span<const int16_t> frame);

private:
  explicit WavSink(void* file) : file_(file) {}
  void* file_;
};

}  // namespace nuvex
