#include "apps/nuvex-phone/platform/standard_streams.h"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <climits>

namespace nuvex {

namespace {

// Pipes cannot be waited for on Windows: the wait looks at both sides this
// often until one has something or the time is up.
constexpr DWORD kLookEveryMs = 10;

bool IsConsole(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

// Data or its end: a pipe whose writer is gone has its end to read.
bool PipeReadable(HANDLE pipe) {
  DWORD waiting = 0;
  if (PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr)) return waiting > 0;
  return GetLastError() == ERROR_BROKEN_PIPE;
}

bool InputReadable() {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  switch (GetFileType(input)) {
    case FILE_TYPE_PIPE:
      return PipeReadable(input);
    case FILE_TYPE_CHAR:  // the console: any event waits in its queue
      return WaitForSingleObject(input, 0) == WAIT_OBJECT_0;
    default:  // a file is always readable, up to its end
      return true;
  }
}

bool WakeReadable(int descriptor) {
  if (descriptor < 0) return false;
  auto pipe = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
  return pipe != INVALID_HANDLE_VALUE && PipeReadable(pipe);
}

}  // namespace

bool StandardInputIsTerminal() { return IsConsole(STD_INPUT_HANDLE); }

bool StandardOutputIsTerminal() { return IsConsole(STD_OUTPUT_HANDLE); }

InputReady WaitForInput(bool watchInput, int wakeDescriptor, int timeoutMs) {
  ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(std::max(timeoutMs, 0));
  for (;;) {
    InputReady ready;
    ready.input = watchInput && InputReadable();
    ready.wake = WakeReadable(wakeDescriptor);
    if (ready.input || ready.wake) return ready;
    ULONGLONG now = GetTickCount64();
    if (timeoutMs >= 0 && now >= deadline) return ready;
    Sleep(timeoutMs < 0 ? kLookEveryMs : static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, kLookEveryMs)));
  }
}

long ReadStandardInput(char* buffer, size_t size) {
  return _read(0, buffer, static_cast<unsigned>(std::min<size_t>(size, INT_MAX)));
}

}  // namespace nuvex
