// The phone's commands, one a line on standard input: call, answer, reject,
// hangup, lines, list, help, quit. End of input leaves the phone running.
#pragma once

#include <string>

namespace nuvex {

enum class CommandResult { Continue, Quit };

CommandResult RunCommand(const std::string& line);

}  // namespace nuvex
