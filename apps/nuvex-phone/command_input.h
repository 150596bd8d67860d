// The phone's command lines from standard input, read without holding up
// its main loop: with line editing and history at a terminal (libedit),
// plain lines from a pipe or file.
#pragma once

#include <string>
#include <vector>

namespace nuvex {

class CommandInput {
public:
  CommandInput();
  ~CommandInput();
  CommandInput(const CommandInput&) = delete;
  CommandInput& operator=(const CommandInput&) = delete;

  // Waits at most `timeoutMs` for input; the complete lines that came.
  std::vector<std::string> Poll(int timeoutMs);

private:
  bool terminal_;
  bool open_ = true;  // false once the input ended
  std::string pending_;
};

}  // namespace nuvex
