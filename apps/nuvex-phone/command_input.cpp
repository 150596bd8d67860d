#include "apps/nuvex-phone/command_input.h"

#include <histedit.h>

#include <cerrno>
#include <cstdio>

#include "apps/nuvex-phone/phone_output.h"
#include "apps/nuvex-phone/platform/standard_streams.h"

namespace nuvex {

namespace {

constexpr int kHistoryLines = 500;

char* Prompt(EditLine*) {
  static char prompt[] = "> ";
  return prompt;
}

}  // namespace

CommandInput::CommandInput() : terminal_(StandardInputIsTerminal() && StandardOutputIsTerminal()) {
  if (!terminal_) return;
  outputWake_ = HoldOutputForPrompt();
  editor_ = el_init("nuvex-phone", stdin, stdout, stderr);
  history_ = history_init();
  HistEvent event;
  history(history_, &event, H_SETSIZE, kHistoryLines);
  el_set(editor_, EL_EDITOR, "emacs");
  el_set(editor_, EL_PROMPT, Prompt);
  el_set(editor_, EL_HIST, history, history_);
  // One key at a time from the first on: el_gets returns at once, and the
  // main loop goes on between keys.
  el_set(editor_, EL_UNBUFFERED, 1);
}

CommandInput::~CommandInput() { EndEditing(); }

void CommandInput::EndEditing() {
  if (editor_ == nullptr) return;
  el_end(editor_);  // the terminal as it was
  history_end(history_);
  editor_ = nullptr;
  std::fputs("\r\033[K", stdout);  // the prompt goes
  for (const std::string& line : StopHoldingOutput()) std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void CommandInput::ShowHeldOutput() {
  std::vector<std::string> lines = TakeHeldOutput();
  if (lines.empty() || editor_ == nullptr) return;
  // Carriage return and erase to the end of the line: the prompt and the
  // text being typed go, the output takes their place, and libedit draws
  // them again below it, the cursor where it was.
  std::fputs("\r\033[K", stdout);
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  el_set(editor_, EL_REFRESH);
}

void CommandInput::ReadKey(std::vector<std::string>& lines) {
  int count = 0;
  const char* text = el_gets(editor_, &count);
  if (text == nullptr || count <= 0) {
    if (count < 0 && errno == EINTR) return;
    open_ = false;  // Ctrl-D on an empty line: the phone runs on until Ctrl-C
    EndEditing();
    return;
  }
  std::string line(text, static_cast<size_t>(count));
  if (line.back() != '\n' && line.back() != '\r') return;  // a key of a line still being typed
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (!line.empty()) {
    HistEvent event;
    history(history_, &event, H_ENTER, line.c_str());
  }
  lines.push_back(line);
  // Leaving and entering the one-key mode starts an empty line under a new prompt.
  el_set(editor_, EL_UNBUFFERED, 0);
  el_set(editor_, EL_UNBUFFERED, 1);
}

std::vector<std::string> CommandInput::Poll(int timeoutMs) {
  std::vector<std::string> lines;
  InputReady ready = WaitForInput(open_, editor_ != nullptr ? outputWake_ : -1, timeoutMs);
  if (ready.wake) ShowHeldOutput();
  if (!ready.input) return lines;
  if (terminal_) {
    ReadKey(lines);
    return lines;
  }
  char chunk[512];
  long got = ReadStandardInput(chunk, sizeof chunk);
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
