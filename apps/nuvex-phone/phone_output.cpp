#include "apps/nuvex-phone/phone_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

namespace nuvex {

namespace {

struct Output {
  std::mutex mutex;
  bool held = false;
  std::vector<std::string> queue;
  int wakeRead = -1;
  int wakeWrite = -1;
  const bool tagLines = isatty(STDOUT_FILENO) != 0;
};

Output& State() {
  static Output* output = new Output;  // threads may still report while the phone exits
  return *output;
}

// One byte, written when the queue stops being empty; a full pipe needs no
// more, as the reader wakes for it already.
void WakeReader(int descriptor) {
  char byte = 1;
  while (write(descriptor, &byte, 1) < 0 && errno == EINTR) {
  }
}

void Print(const std::string& text) {
  Output& output = State();
  std::scoped_lock lock(output.mutex);
  if (!output.held) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
    return;
  }
  output.queue.push_back(text);
  if (output.queue.size() == 1) WakeReader(output.wakeWrite);
}

}  // namespace

void Reply(const std::string& text) { Print(text); }

void Event(int line, const std::string& text) {
  Print(line >= 0 && State().tagLines ? "line " + std::to_string(line) + ": " + text : text);
}

int HoldOutputForPrompt() {
  Output& output = State();
  std::scoped_lock lock(output.mutex);
  if (output.wakeRead < 0) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return -1;  // output stays direct
    output.wakeRead = ends[0];
    output.wakeWrite = ends[1];
  }
  output.held = true;
  return output.wakeRead;
}

std::vector<std::string> TakeHeldOutput() {
  Output& output = State();
  std::scoped_lock lock(output.mutex);
  char drained[64];
  while (output.wakeRead >= 0 && read(output.wakeRead, drained, sizeof drained) > 0) {
  }
  std::vector<std::string> lines;
  lines.swap(output.queue);
  return lines;
}

std::vector<std::string> StopHoldingOutput() {
  std::vector<std::string> lines = TakeHeldOutput();
  std::scoped_lock lock(State().mutex);
  State().held = false;
  // Whatever came between the two is printed now, in its place.
  lines.insert(lines.end(), State().queue.begin(), State().queue.end());
  State().queue.clear();
  return lines;
}

}  // namespace nuvex
