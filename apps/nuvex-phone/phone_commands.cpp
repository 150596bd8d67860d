#include "apps/nuvex-phone/phone_commands.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "apps/nuvex-phone/module_session.h"
#include "apps/nuvex-phone/phone_calls.h"
#include "host/ccom.h"
#include "host/ccon.h"

namespace nuvex {

namespace {

constexpr const char* kHelp =
    "commands:\n"
    "  call TARGET          call bob@10.0.0.7:5060, a host, or 5551234@ (registered here or via the gateway)\n"
    "  answer [LINE]        answer the ringing call\n"
    "  reject [CODE [LINE]] refuse the ringing call; CODE goes back to the phone as the end reason\n"
    "  hangup [LINE]        end a call\n"
    "  lines                the calls going on\n"
    "  list NAME            open the list SIP-LOG, SIP-BAN, SIP-REG or SIP-PIN (or say where it is)\n"
    "  options              the SIP Options dialog (needs a display)\n"
    "  register N           gateway account N (0, 1, 2) starts or stops registering\n"
    "  help                 this text\n"
    "  quit                 end the phone";

// The column titles a new list starts with.
const char* ListHeader(const std::string& name) {
  if (name == "SIP-LOG") return "DateTime\tIPAddress:port\t[BANNED]\n";
  if (name == "SIP-BAN") return "IPAddressPrefix\tDateTime\n";
  if (name == "SIP-REG") return "user@address:port\t[PIN]\t[RegTime]\t[Expires]\t[DateTime]\t[Name]\t[User-Agent]\n";
  if (name == "SIP-PIN") return "UserID\tPassword\n";
  return nullptr;
}

// A number, or -1 when the word is missing; nothing when it is no number.
bool Number(const std::string& word, int& value) {
  if (word.empty()) {
    value = -1;
    return true;
  }
  char* end = nullptr;
  long number = std::strtol(word.c_str(), &end, 10);
  if (*end != '\0' || number < 0 || number > 0x7fffffff) return false;
  value = static_cast<int>(number);
  return true;
}

void Say(const std::string& text) {
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

}  // namespace

CommandResult RunCommand(const std::string& line) {
  std::istringstream words(line);
  std::string command, first, second;
  words >> command >> first >> second;
  int number = -1;
  int other = -1;
  if (command.empty()) return CommandResult::Continue;
  if (Module() == nullptr) return CommandResult::Quit;  // it did not start again after `register`
  if (command == "quit" || command == "exit") return CommandResult::Quit;
  if (command == "help") {
    Say(kHelp);
  } else if (command == "call" && !first.empty()) {
    PlaceCall(first);
  } else if (command == "answer" && Number(first, number)) {
    AnswerCall(number);
  } else if (command == "reject" && Number(first, number) && Number(second, other)) {
    RejectCall(number > 0 ? number : 6, other);
  } else if (command == "hangup" && Number(first, number)) {
    HangUpCall(number);
  } else if (command == "lines") {
    std::vector<std::string> calls = LiveCalls();
    if (calls.empty()) Say("no calls");
    for (const std::string& call : calls) Say("line " + call);
  } else if (command == "list" && ListHeader(first) != nullptr) {
    CCon::OnOpenTextFile(first, ListHeader(first));
  } else if (command == "options") {
    Say(Module()->ShowOptions() ? "SIP Options: taken" : "SIP Options: closed without OK");
  } else if (command == "register" && Number(first, number) && number >= 0) {
    ToggleGatewayRegistration(number);
  } else {
    Say("not a command: " + line + " (help lists them)");
  }
  return CommandResult::Continue;
}

}  // namespace nuvex
