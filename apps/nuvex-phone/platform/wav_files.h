// The phone's microphone and loudspeaker when they are files: WAV, 8000
// samples per second, mono, 16-bit PCM.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace nuvex {

// An open WAV file as the system's sound file functions keep it.
struct WavFile;

class WavSource {
public:
  // Nothing, after a message on stderr, when the file cannot be read or is
  // not 8 kHz mono 16-bit PCM.
  static std::unique_ptr<WavSource> Open(const std::string& path);
  ~WavSource();
  // Fills the frame from the file; silence once the file has ended.
  void Read(std::span<int16_t> frame);

private:
  explicit WavSource(std::unique_ptr<WavFile> file);
  std::unique_ptr<WavFile> file_;
};

class WavSink {
public:
  static std::unique_ptr<WavSink> Create(const std::string& path);
  ~WavSink();
  void Write(std::span<const int16_t> frame);

private:
  explicit WavSink(std::unique_ptr<WavFile> file);
  std::unique_ptr<WavFile> file_;
};

}  // namespace nuvex
