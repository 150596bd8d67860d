// nuvex-phone: a host for the Talvenor module. It loads libtalvenor.so from
// its own folder, starts the module and runs until interrupted.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "apps/nuvex-phone/command_input.h"
#include "apps/nuvex-phone/module_session.h"
#include "apps/nuvex-phone/phone_calls.h"
#include "apps/nuvex-phone/phone_commands.h"
#include "apps/nuvex-phone/phone_host.h"
#include "apps/nuvex-phone/phone_options.h"
#include "apps/nuvex-phone/phone_profile.h"
#include "apps/nuvex-phone/priority_probe.h"

namespace {

constexpr const char* kUsage =
    "usage: nuvex-phone [--config-dir DIR] [--data-dir DIR] [--set ENTRY=VALUE]...\n"
    "                   [--auto-answer[=SECONDS] | --reject REASON] [--call TARGET] [--play FILE.wav]\n"
    "                   [--record FILE.wav] [--hangup-after SECONDS] [--exit-when-idle]\n"
    "                   [--help] [--version]\n";

constexpr const char* kOptions =
    "\n"
    "  --config-dir DIR       the settings profile lives in DIR/Kestravon/talvenor.ini\n"
    "  --data-dir DIR         the lists SIP-LOG, SIP-BAN, SIP-REG, SIP-PIN\n"
    "                         (default ${XDG_DATA_HOME:-~/.local/share}/nuvex)\n"
    "  --set ENTRY=VALUE      write a profile entry first, e.g. Port=0,0,5072\n"
    "  --auto-answer[=S]      answer every call, after S seconds\n"
    "  --reject REASON        refuse every call with that reason\n"
    "  --call TARGET          place a call at start\n"
    "  --play FILE.wav        the microphone (8000 Hz mono 16-bit)\n"
    "  --record FILE.wav      what arrives\n"
    "  --hangup-after S       end a connected call after S seconds\n"
    "  --exit-when-idle       exit once the first call ended (0: it had connected)\n"
    "\n"
    "Then one command a line on standard input; 'help' lists them.\n";

void Usage() { std::fputs(kUsage, stderr); }

// ${XDG_DATA_HOME:-$HOME/.local/share}/nuvex, made (for the user only) when missing.
std::string DefaultDataFolder() {
  std::string folder = nuvex::UserFolder("XDG_DATA_HOME", ".local/share") + "/nuvex";
  nuvex::MakePrivateFolder(folder);
  return folder;
}

std::string OwnFolder() {
  char path[4096] = {};
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string text(path, length > 0 ? static_cast<size_t>(length) : 0);
  size_t slash = text.rfind('/');
  return slash == std::string::npos ? std::string(".") : text.substr(0, slash);
}

}  // namespace

int main(int argc, char** argv) {
  for (int index = 1; index < argc; ++index) {
    std::string option = argv[index];
    if (option == "--help") {
      std::printf("%s%s", kUsage, kOptions);
      return 0;
    }
    if (option == "--version") {
      std::printf("nuvex-phone 7.2, a host for the Talvenor SIP module\n");
      return 0;
    }
  }
  nuvex::PhoneOptions options;
  if (!nuvex::ParsePhoneOptions(argc, argv, options)) {
    Usage();
    return 2;
  }
  nuvex::SetDataDirectory(options.dataDir.empty() ? DefaultDataFolder() : options.dataDir);
  // The microphone file is checked before anything starts.
  if (!options.playFile.empty() && !nuvex::WavSource::Open(options.playFile)) return 2;
  if (!nuvex::ApplyProfileOptions(options)) return 1;

  // Block the stop signals before any thread starts, then wait for them here.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  std::string why;
  std::unique_ptr<nuvex::SoundCard> soundCard;
  if (options.playFile.empty() && options.recordFile.empty()) soundCard = nuvex::SoundCard::Open(why);
  if (!nuvex::StartModule(OwnFolder() + "/libtalvenor.so")) return 1;
  std::printf("Talvenor up on SIP port %u\n", nuvex::ConfiguredSipPort());
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  std::printf("Call this phone at sip:phone@%s:%u; type 'help' for the commands\n", host,
              nuvex::ConfiguredSipPort());
  std::printf("Media threads above normal priority: %s\n",
              nuvex::CanRaiseThreadPriority() ? "yes" : "no (the system refuses; calls work all the same)");
  if (soundCard) {
    std::printf("Audio: the sound card\n");
  } else if (options.playFile.empty() && options.recordFile.empty()) {
    std::printf("Audio: none (%s); calls connect, but their audio goes nowhere\n", why.c_str());
  } else {
    std::printf("Audio: %s%s%s\n", options.playFile.empty() ? "" : ("from " + options.playFile).c_str(),
                options.playFile.empty() || options.recordFile.empty() ? "" : ", ",
                options.recordFile.empty() ? "" : ("into " + options.recordFile).c_str());
  }
  std::fflush(stdout);

  nuvex::StartCalls(nuvex::Module(), {options.autoAnswerSeconds, options.rejectReason, options.hangupAfterSeconds,
                                      options.playFile, options.recordFile, soundCard.get()});
  if (!options.callTarget.empty()) nuvex::PlaceCall(options.callTarget);

  int exitCode = 0;
  const timespec noWait{0, 0};
  nuvex::CommandInput commands;
  for (;;) {
    if (sigtimedwait(&stopSignals, nullptr, &noWait) > 0) break;
    bool quit = false;
    for (const std::string& command : commands.Poll(100)) {
      quit = quit || nuvex::RunCommand(command) == nuvex::CommandResult::Quit;
    }
    if (quit) break;
    if (nuvex::Module() == nullptr) {
      exitCode = 1;  // the module did not start again after `register`
      break;
    }
    bool connected = false;
    if (options.exitWhenIdle && nuvex::FirstCallEnded(connected)) {
      exitCode = connected ? 0 : 1;
      break;
    }
  }
  nuvex::SetClosing(true);
  nuvex::StopCalls();
  if (soundCard) soundCard->Stop();
  nuvex::StopModule();
  nuvex::CloseCallFiles();
  std::printf("Talvenor stopped\n");
  return exitCode;
}
