#include "apps/nuvex-phone/platform/wake_pipe.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace nuvex {

namespace {

constexpr unsigned kPipeBytes = 4096;

// Bytes that wait in the pipe's reader; an anonymous pipe cannot be made
// non-blocking, so it is looked into before it is read.
unsigned long WaitingBytes(int reader) {
  DWORD waiting = 0;
  auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(reader));
  if (handle == INVALID_HANDLE_VALUE || !PeekNamedPipe(handle, nullptr, 0, nullptr, &waiting, nullptr)) return 0;
  return waiting;
}

}  // namespace

// The ends are C library descriptors over an anonymous pipe, which programs
// the phone starts do not inherit.
bool OpenWakePipe(WakePipe& wake) {
  int ends[2];
  if (_pipe(ends, kPipeBytes, _O_BINARY | _O_NOINHERIT) != 0) return false;
  wake.reader = ends[0];
  wake.writer = ends[1];
  return true;
}

// A pipe that holds a byte already wakes its reader: a write that could
// block on a full pipe is never made.
void Wake(const WakePipe& wake) {
  if (wake.writer < 0 || WaitingBytes(wake.reader) > 0) return;
  char byte = 1;
  _write(wake.writer, &byte, 1);
}

void DrainWakes(const WakePipe& wake) {
  char drained[64];
  for (unsigned long waiting; wake.reader >= 0 && (waiting = WaitingBytes(wake.reader)) > 0;) {
    unsigned count = waiting < sizeof drained ? static_cast<unsigned>(waiting) : sizeof drained;
    if (_read(wake.reader, drained, count) <= 0) return;
  }
}

}  // namespace nuvex
