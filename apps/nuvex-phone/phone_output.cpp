#include "apps/nuvex-phone/phone_output.h"

#include <cstdio>
#include <mutex>

#include "apps/nuvex-phone/platform/standard_streams.h"
#include "apps/nuvex-phone/platform/wake_pipe.h"

namespace nuvex {

namespace {

struct Output {
  std::mutex mutex;
  bool held = false;
  std::vector<std::string> queue;
  WakePipe wake;
  const bool tagLines = StandardOutputIsTerminal();
};

Output& State() {
  static Output* output = new Output;  // threads may still report while the phone exits
  return *output;
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
  if (output.queue.size() == 1) Wake(output.wake);  // one byte when the queue stops being empty
}

}  // namespace

void Reply(const std::string& text) { Print(text); }

void Event(int line, const std::string& text) {
  Print(line >= 0 && State().tagLines ? "line " + std::to_string(line) + ": " + text : text);
}

int HoldOutputForPrompt() {
  Output& output = State();
  std::scoped_lock lock(output.mutex);
  if (output.wake.reader < 0 && !OpenWakePipe(output.wake)) return -1;  // output stays direct
  output.held = true;
  return output.wake.reader;
}

std::vector<std::string> TakeHeldOutput() {
  Output& output = State();
  std::scoped_lock lock(output.mutex);
  DrainWakes(output.wake);
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
