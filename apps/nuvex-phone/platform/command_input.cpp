#include "apps/nuvex-phone/platform/command_input.h"

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

// libedit, one key at a time, at a terminal; plain reads elsewhere.
struct CommandInput::Reader {
  Reader();
  ~Reader() { EndEditing(); }

  std::vector<std::string> Poll(int timeoutMs);
  void ReadKey(std::vector<std::string>& lines);
  void ShowHeldOutput();
  void EndEditing();

  bool terminal;
  EditLine* editor = nullptr;
  History* history = nullptr;
  bool open = true;  // false once the input ended
  int outputWake = -1;
  std::string pending;
};

CommandInput::CommandInput() : reader_(std::make_unique<Reader>()) {}

CommandInput::~CommandInput() = default;

std::vector<std::string> CommandInput::Poll(int timeoutMs) { return reader_->Poll(timeoutMs); }

CommandInput::Reader::Reader() : terminal(StandardInputIsTerminal() && StandardOutputIsTerminal()) {
  if (!terminal) return;
  outputWake = HoldOutputForPrompt();
  editor = el_init("nuvex-phone", stdin, stdout, stderr);
  history = history_init();
  HistEvent event;
  ::history(history, &event, H_SETSIZE, kHistoryLines);
  el_set(editor, EL_EDITOR, "emacs");
  el_set(editor, EL_PROMPT, Prompt);
  el_set(editor, EL_HIST, ::history, history);
  // One key at a time from the first on: el_gets returns at once, and the
  // main loop goes on between keys.
  el_set(editor, EL_UNBUFFERED, 1);
}

void CommandInput::Reader::EndEditing() {
  if (editor == nullptr) return;
  el_end(editor);  // the terminal as it was
  history_end(history);
  editor = nullptr;
  std::fputs("\r\033[K", stdout);  // the prompt goes
  for (const std::string& line : StopHoldingOutput()) std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void CommandInput::Reader::ShowHeldOutput() {
  std::vector<std::string> lines = TakeHeldOutput();
  if (lines.empty() || editor == nullptr) return;
  // Carriage return and erase to the end of the line: the prompt and the
  // text being typed go, the output takes their place, and libedit draws
  // them again below it, the cursor where it was.
  std::fputs("\r\033[K", stdout);
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  el_set(editor, EL_REFRESH);
}

void CommandInput::Reader::ReadKey(std::vector<std::string>& lines) {
  int count = 0;
  errno = 0;
  const char* text = el_gets(editor, &count);
  // One key at a time, libedit answers -1 for a key that only edits the
  // line (Backspace, the arrows, Ctrl-U, Ctrl-L, Tab...), errno untouched;
  // 0, or -1 with an error, when the terminal's input ended.
  if (count < 0 && (errno == 0 || errno == EINTR)) return;
  // Ctrl-D on an empty line comes as the line "^D": the input ends there,
  // and the phone runs on until Ctrl-C.
  bool endOfInput = text == nullptr || count <= 0 || (count == 1 && text[0] == '\x04');
  if (endOfInput) {
    open = false;
    EndEditing();
    return;
  }
  std::string line(text, static_cast<size_t>(count));
  if (line.back() != '\n' && line.back() != '\r') return;  // a key of a line still being typed
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (!line.empty()) {
    HistEvent event;
    ::history(history, &event, H_ENTER, line.c_str());
  }
  lines.push_back(line);
  // Leaving and entering the one-key mode starts an empty line under a new prompt.
  el_set(editor, EL_UNBUFFERED, 0);
  el_set(editor, EL_UNBUFFERED, 1);
}

std::vector<std::string> CommandInput::Reader::Poll(int timeoutMs) {
  std::vector<std::string> lines;
  InputReady ready = WaitForInput(open, editor != nullptr ? outputWake : -1, timeoutMs);
  if (ready.wake) ShowHeldOutput();
  if (!ready.input) return lines;
  if (terminal) {
    ReadKey(lines);
    return lines;
  }
  char chunk[512];
  long got = ReadStandardInput(chunk, sizeof chunk);
  if (got <= 0) {
    open = false;  // the end of input leaves the phone running
    return lines;
  }
  pending.append(chunk, static_cast<size_t>(got));
  for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
    lines.push_back(pending.substr(0, end));
    pending.erase(0, end + 1);
  }
  return lines;
}

}  // namespace nuvex
