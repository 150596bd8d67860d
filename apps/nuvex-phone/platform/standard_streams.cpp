#include "apps/nuvex-phone/platform/standard_streams.h"

#include <poll.h>
#include <unistd.h>

namespace nuvex {

bool StandardInputIsTerminal() { return isatty(STDIN_FILENO) != 0; }

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

InputReady WaitForInput(bool watchInput, int wakeDescriptor, int timeoutMs) {
  pollfd watched[2] = {{watchInput ? STDIN_FILENO : -1, POLLIN, 0}, {wakeDescriptor, POLLIN, 0}};
  InputReady ready;
  if (poll(watched, 2, timeoutMs) <= 0) return ready;
  ready.input = (watched[0].revents & (POLLIN | POLLHUP)) != 0;
  ready.wake = (watched[1].revents & POLLIN) != 0;
  return ready;
}

long ReadStandardInput(char* buffer, size_t size) { return static_cast<long>(read(STDIN_FILENO, buffer, size)); }

}  // namespace nuvex
