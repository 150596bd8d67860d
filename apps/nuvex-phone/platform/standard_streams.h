// The phone's standard input and output: whether they are a terminal, and
// standard input read without holding up the main loop.
#pragma once

#include <cstddef>

namespace nuvex {

bool StandardInputIsTerminal();
bool StandardOutputIsTerminal();

struct InputReady {
  bool input = false;  // standard input has data, or its end
  bool wake = false;   // the wake pipe's reader (wake_pipe.h) has a byte
};

// Waits at most `timeoutMs` for standard input (when `watchInput`) and for
// the wake pipe's reader `wakeDescriptor` (-1 for none). Nothing is ready
// when the time ran out or the wait failed.
InputReady WaitForInput(bool watchInput, int wakeDescriptor, int timeoutMs);

// Reads what standard input holds, at most `size` bytes: the count read,
// 0 at its end, below 0 on an error.
long ReadStandardInput(char* buffer, size_t size);

}  // namespace nuvex
