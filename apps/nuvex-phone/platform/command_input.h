// The phone's command lines from standard input, read without holding up
// its main loop: with line editing and history at a terminal, plain lines
// from a pipe or file. Where the terminal lets the phone redraw the line
// being typed, it also prints the phone's output above that line and draws
// the line again.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace nuvex {

class CommandInput {
public:
  CommandInput();
  ~CommandInput();
  CommandInput(const CommandInput&) = delete;
  CommandInput& operator=(const CommandInput&) = delete;

  // Waits at most `timeoutMs` for input or output; the complete lines that came.
  std::vector<std::string> Poll(int timeoutMs);

private:
  struct Reader;  // the system's own way of reading lines
  std::unique_ptr<Reader> reader_;
};

}  // namespace nuvex
