// The phone's command lines from standard input, read without holding up
// its main loop: with line editing and history at a terminal (libedit, one
// key at a time), plain lines from a pipe or file. At a terminal it also
// prints the phone's output above the line being typed and draws that line
// again.
#pragma once

#include <string>
#include <vector>

struct editline;
struct history;

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
  void ReadKey(std::vector<std::string>& lines);
  void ShowHeldOutput();
  void EndEditing();

  bool terminal_;
  editline* editor_ = nullptr;
  history* history_ = nullptr;
  bool open_ = true;  // false once the input ended
  int outputWake_ = -1;
  std::string pending_;
};

}  // namespace nuvex
