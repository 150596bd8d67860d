// A pipe that wakes a thread waiting for input (WaitForInput in
// standard_streams.h) when another thread has something for it.
#pragma once

namespace nuvex {

struct WakePipe {
  int reader = -1;
  int writer = -1;
};

// Both ends close when the phone runs another program, and neither blocks.
// False when no pipe could be made.
bool OpenWakePipe(WakePipe& wake);
// Writes one byte; a full pipe needs no more, as the reader wakes for it already.
void Wake(const WakePipe& wake);
// Reads every byte that waits, so that the reader waits again.
void DrainWakes(const WakePipe& wake);

}  // namespace nuvex
