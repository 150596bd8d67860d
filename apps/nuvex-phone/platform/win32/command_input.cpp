// Command lines on Windows. At a console the console edits the line itself
// (its own keys and history); the phone cannot draw that line again, so
// its output is printed at once and the prompt comes back when the main
// loop asks for the next command. A thread of its own waits for the lines,
// as neither a console nor a pipe can be waited for with a time limit.
#include "apps/nuvex-phone/platform/command_input.h"

#include <windows.h>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

#include "apps/nuvex-phone/platform/win32/wide_text.h"

namespace nuvex {

namespace {

constexpr DWORD kChunk = 512;
constexpr wchar_t kEndOfInputKey = 0x1A;  // Ctrl-Z, then Enter

// What the phone's loop and the reading thread share. The thread may
// outlive the phone's CommandInput: it waits in the console until the
// process ends, holding this.
struct Lines {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::string> ready;
  bool wanted = false;  // the loop waits for a line
  bool ended = false;   // the input ended: nothing more comes
  bool closing = false;  // the phone no longer asks
  bool prompted = false;  // "> " waits for a line at the console
};

// Cuts the complete lines off `pending` into `lines`, without their line
// ends; what follows the last line end stays.
void TakeCompleteLines(std::string& pending, std::deque<std::string>& lines) {
  for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
    std::string line = pending.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    pending.erase(0, end + 1);
  }
}

// Blocks until the console has a line, or the input ended (false). A read
// cut short by Ctrl-C (which stops the phone elsewhere) is not the end.
bool ReadConsoleLine(HANDLE console, std::deque<std::string>& lines) {
  std::wstring text;
  while (text.empty() || text.back() != L'\n') {
    wchar_t chunk[kChunk];
    DWORD got = 0;
    if (!ReadConsoleW(console, chunk, kChunk, &got, nullptr)) return GetLastError() == ERROR_OPERATION_ABORTED;
    if (got == 0) {
      if (GetLastError() == ERROR_OPERATION_ABORTED) return true;
      return false;
    }
    text.append(chunk, got);
  }
  if (text.front() == kEndOfInputKey) return false;
  std::string pending = Utf8Text(text);
  TakeCompleteLines(pending, lines);
  return true;
}

// Blocks until a pipe or file has at least one more complete line, or ends
// (false). Bytes of a line not yet complete wait in `pending`.
bool ReadPipeLines(HANDLE input, std::string& pending, std::deque<std::string>& lines) {
  while (lines.empty()) {
    char chunk[kChunk];
    DWORD got = 0;
    if (!ReadFile(input, chunk, kChunk, &got, nullptr) || got == 0) return false;
    pending.append(chunk, got);
    TakeCompleteLines(pending, lines);
  }
  return true;
}

// Reads when the loop wants a line: at a console, the prompt is printed
// only then, below what the last command printed.
void ReadLines(std::shared_ptr<Lines> shared, bool console, bool prompt) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  std::string pending;
  for (;;) {
    {
      std::unique_lock lock(shared->mutex);
      shared->changed.wait(lock, [&] { return shared->wanted || shared->closing; });
      if (shared->closing) return;
      if (prompt && !shared->prompted) {
        std::fputs("> ", stdout);
        std::fflush(stdout);
        shared->prompted = true;
      }
    }
    std::deque<std::string> lines;
    bool open = console ? ReadConsoleLine(input, lines) : ReadPipeLines(input, pending, lines);
    std::scoped_lock lock(shared->mutex);
    if (!lines.empty()) {
      shared->ready.insert(shared->ready.end(), lines.begin(), lines.end());
      shared->wanted = false;
      shared->prompted = false;
    }
    if (!open) {
      shared->ended = true;  // the end of input leaves the phone running
      shared->changed.notify_all();
      return;
    }
    shared->changed.notify_all();
  }
}

bool IsConsole(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

}  // namespace

struct CommandInput::Reader {
  Reader();
  ~Reader();

  std::shared_ptr<Lines> shared = std::make_shared<Lines>();
  UINT outputCodePage = 0;  // the console's own, given back at the end
};

CommandInput::Reader::Reader() {
  bool console = IsConsole(STD_INPUT_HANDLE);
  bool consoleOutput = IsConsole(STD_OUTPUT_HANDLE);
  // The phone prints UTF-8: callers' names and peers' texts may be more
  // than ASCII.
  if (consoleOutput) {
    outputCodePage = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
  }
  std::thread(ReadLines, shared, console, console && consoleOutput).detach();
}

CommandInput::Reader::~Reader() {
  {
    std::scoped_lock lock(shared->mutex);
    shared->closing = true;
    shared->changed.notify_all();
    // The prompt of a line never typed goes, as the phone's last lines follow.
    if (shared->prompted) std::fputs("\r  \r", stdout);
    std::fflush(stdout);
  }
  if (outputCodePage != 0) SetConsoleOutputCP(outputCodePage);
}

CommandInput::CommandInput() : reader_(std::make_unique<Reader>()) {}

CommandInput::~CommandInput() = default;

std::vector<std::string> CommandInput::Poll(int timeoutMs) {
  Lines& shared = *reader_->shared;
  std::unique_lock lock(shared.mutex);
  if (shared.ready.empty() && !shared.ended && !shared.wanted) {
    shared.wanted = true;
    shared.changed.notify_all();
  }
  shared.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !shared.ready.empty(); });
  std::vector<std::string> lines(shared.ready.begin(), shared.ready.end());
  shared.ready.clear();
  return lines;
}

}  // namespace nuvex
