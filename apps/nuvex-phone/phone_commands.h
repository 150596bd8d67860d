// The phone's commands, one a line on standard input, the command word in
// any case: call, answer, reject, hangup, mute, lines, status, list,
// options, register, help, quit. End of input leaves the phone running.
#pragma once

#include <string>

namespace nuvex {

enum class CommandResult { Continue, Quit };

CommandResult RunCommand(const std::string& line);

}  // namespace nuvex
