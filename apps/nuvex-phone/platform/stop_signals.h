// What stops the phone (Ctrl-C, SIGTERM; on Windows Ctrl-C, Ctrl-Break and
// the console closing): held back from every thread and taken by the
// prompt's loop when it looks for it.
#pragma once

namespace nuvex {

// Blocks the stop signals for the calling thread and the threads it starts
// afterwards; call before any thread starts.
void BlockStopSignals();
// Whether a stop signal came, taking it; never waits.
bool TakeStopSignal();

}  // namespace nuvex
