#include "apps/nuvex-phone/platform/wake_pipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace nuvex {

bool OpenWakePipe(WakePipe& wake) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  wake.reader = ends[0];
  wake.writer = ends[1];
  return true;
}

void Wake(const WakePipe& wake) {
  char byte = 1;
  while (write(wake.writer, &byte, 1) < 0 && errno == EINTR) {
  }
}

void DrainWakes(const WakePipe& wake) {
  char drained[64];
  while (wake.reader >= 0 && read(wake.reader, drained, sizeof drained) > 0) {
  }
}

}  // namespace nuvex
