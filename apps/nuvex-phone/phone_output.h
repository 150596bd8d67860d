// Everything the phone prints on standard output: replies to commands, and
// events (a call rings, connects, ends; the module restarted; the options
// sheet closed) that any thread may report at any time.
//
// At a terminal where a command is being typed, the thread that reads the
// commands prints everything, above the line being typed, which it then
// draws again; events wait for it in a queue. Elsewhere (a pipe, a file)
// each line is printed at once.
#pragma once

#include <string>
#include <vector>

namespace nuvex {

// A reply to the command being run.
void Reply(const std::string& text);
// An event; `line` is the line of the call it belongs to, -1 for none. At a
// terminal the line leads the text ("line 0: connected"); into a pipe or a
// file the text stands alone, as scripts read it.
void Event(int line, const std::string& text);

// Called by the terminal's reader: from now on the output waits in the
// queue. Returns the descriptor that is readable while some waits.
int HoldOutputForPrompt();
// What waits, in order; empties the queue.
std::vector<std::string> TakeHeldOutput();
// Output is printed at once again; returns what still waited.
std::vector<std::string> StopHoldingOutput();

}  // namespace nuvex
