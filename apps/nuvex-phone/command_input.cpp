#include "apps/nuvex-phone/command_input.h"

#include <editline/readline.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>

namespace nuvex {

namespace {

// The lines libedit hands over; only the main thread reads input.
std::vector<std::string>* editedLines = nullptr;
bool editedInputEnded = false;

void TakeLine(char* line) {
  if (line == nullptr) {
    editedInputEnded = true;
    return;
  }
  if (*line != '\0') add_history(line);
  editedLines->emplace_back(line);
  std::free(line);
}

}  // namespace

CommandInput::CommandInput() : terminal_(isatty(STDIN_FILENO) != 0) {
  if (terminal_) rl_callback_handler_install("", TakeLine);
}

CommandInput::~CommandInput() {
  if (terminal_) rl_callback_handler_remove();
}

std::vector<std::string> CommandInput::Poll(int timeoutMs) {
  std::vector<std::string> lines;
  pollfd input{STDIN_FILENO, POLLIN, 0};
  if (poll(&input, open_ ? 1 : 0, timeoutMs) <= 0 || !(input.revents & (POLLIN | POLLHUP))) return lines;
  if (terminal_) {
    editedLines = &lines;
    rl_callback_read_char();
    editedLines = nullptr;
    if (editedInputEnded) open_ = false;
    return lines;
  }
  char chunk[512];
  ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
  if (got <= 0) {
    open_ = false;  // the end of input leaves the phone running
    return lines;
  }
  pending_.append(chunk, static_cast<size_t>(got));
  for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
    lines.push_back(pending_.substr(0, end));
    pending_.erase(0, end + 1);
  }
  return lines;
}

}  // namespace nuvex
