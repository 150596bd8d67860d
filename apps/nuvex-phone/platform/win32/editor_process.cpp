#include "apps/nuvex-phone/platform/editor_process.h"

#include <windows.h>

#include <cstdlib>

#include "apps/nuvex-phone/platform/win32/wide_text.h"

namespace nuvex {

std::string UserEditor() {
  for (const char* variable : {"VISUAL", "EDITOR"}) {
    const char* editor = std::getenv(variable);
    if (editor != nullptr && *editor != '\0') return editor;
  }
  return "notepad";
}

// The editor's command line is the command as the user wrote it (it may
// carry options) and the path in quotes, which no Windows file name holds.
void RunEditor(const std::string& editor, const std::string& path) {
  std::wstring commandLine = WideText(editor + " \"" + path + "\"");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace nuvex
