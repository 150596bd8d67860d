#include "apps/nuvex-phone/phone_commands.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "apps/nuvex-phone/call_target.h"
#include "apps/nuvex-phone/gateway_registration.h"
#include "apps/nuvex-phone/module_session.h"
#include "apps/nuvex-phone/options_dialog.h"
#include "apps/nuvex-phone/phone_calls.h"
#include "apps/nuvex-phone/phone_output.h"
#include "apps/nuvex-phone/phone_status.h"
#include "apps/nuvex-phone/terminal_text.h"
#include "host/ccon.h"

namespace nuvex {

namespace {

constexpr const char* kHelp =
    "commands (in any case); without LINE, the one call that fits:\n"
    "  call TARGET          bob@10.0.0.7:5060, sip:bob@10.0.0.7:5060, a host, or 5551234@\n"
    "                       (a user registered here, else through the selected gateway)\n"
    "  answer [LINE]        answer the ringing call\n"
    "  reject [CODE [LINE]] refuse the ringing call; the caller gets 480 whatever CODE is:\n"
    "                       CODE is only the end reason this phone shows (default 6, failed)\n"
    "  hangup [LINE]        end a call\n"
    "  mute [LINE]          the far end hears silence from this phone; again to undo\n"
    "  lines                the calls: line, state, direction and peer, duration, codec\n"
    "  status               SIP address and port, codecs, gateways, registrar, calls\n"
    "  list NAME            open the list SIP-LOG, SIP-BAN, SIP-REG or SIP-PIN (or say where it is)\n"
    "  options              the SIP Options sheet (needs a display); the prompt goes on meanwhile\n"
    "  register N           gateway N (1, 2 or 3) starts or stops registering; restarts the module\n"
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

std::string Cased(std::string word, int (*change)(int)) {
  std::transform(word.begin(), word.end(), word.begin(), [change](unsigned char c) { return change(c); });
  return word;
}

// A number 0 or more, or -1 when the word is missing; false when it is no number.
bool Number(const std::string& word, int& value) {
  if (word.empty()) {
    value = -1;
    return true;
  }
  char* end = nullptr;
  long number = std::strtol(word.c_str(), &end, 10);
  if (!std::isdigit(static_cast<unsigned char>(word[0])) || *end != '\0' || number > 0x7fffffff) return false;
  value = static_cast<int>(number);
  return true;
}

void Call(const std::string& typed) {
  if (typed.empty()) {
    Reply("call needs a target: call bob@HOST[:PORT], call sip:bob@HOST, call HOST or call 5551234@");
    return;
  }
  std::string why;
  std::optional<std::string> target = ModuleTarget(typed, why);
  CCom* module = Module();
  if (!target) {
    Reply("cannot call " + PrintableText(typed) + ": " + why);
  } else if (module == nullptr) {
    Reply("the module is restarting: try again in a moment");
  } else {
    PlaceCall(module, *target);
  }
}

void List(const std::string& typed) {
  std::string name = Cased(typed, std::toupper);
  if (ListHeader(name) == nullptr) {
    Reply("list takes SIP-LOG, SIP-BAN, SIP-REG or SIP-PIN");
    return;
  }
  CCon::OnOpenTextFile(name, ListHeader(name));
}

}  // namespace

CommandResult RunCommand(const std::string& line) {
  std::istringstream words(line);
  std::string command, first, second, extra;
  words >> command >> first >> second >> extra;
  command = Cased(command, std::tolower);
  int number = -1;
  int other = -1;
  if (command.empty()) return CommandResult::Continue;
  if (command == "quit" || command == "exit") return CommandResult::Quit;
  bool lineWords = Number(first, number) && Number(second, other) && extra.empty();
  if (command == "help") {
    Reply(kHelp);
  } else if (command == "call") {
    Call(line.substr(line.find_first_not_of(" \t") + command.size()));
  } else if ((command == "answer" || command == "hangup" || command == "mute") && (!lineWords || other >= 0)) {
    Reply(command + " takes one line number at most: " + command + " [LINE]");
  } else if (command == "answer") {
    AnswerCall(number);
  } else if (command == "hangup") {
    HangUpCall(number);
  } else if (command == "mute") {
    MuteCall(number);
  } else if (command == "reject" && !lineWords) {
    Reply("reject takes numbers: reject [CODE [LINE]]");
  } else if (command == "reject") {
    RejectCall(number > 0 ? number : 6, other);
  } else if (command == "lines") {
    std::vector<std::string> calls = LiveCalls();
    if (calls.empty()) Reply("no calls");
    for (const std::string& call : calls) Reply("line " + call);
  } else if (command == "status") {
    ShowStatus();
  } else if (command == "list") {
    List(first);
  } else if (command == "options") {
    OpenOptionsDialog();
  } else if (command == "register" && (!lineWords || number < 0 || other >= 0)) {
    Reply("register takes a gateway: register 1, 2 or 3");
  } else if (command == "register") {
    ToggleGatewayRegistration(number);
  } else {
    Reply("not a command: " + PrintableText(command) + " (help lists them)");
  }
  return CommandResult::Continue;
}

}  // namespace nuvex
