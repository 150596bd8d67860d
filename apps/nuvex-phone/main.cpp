// nuvex-phone: a host for the Talvenor module. It loads the module's library
// (libtalvenor.so, talvenor.dll) from its own folder, starts the module and
// runs until interrupted.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "apps/nuvex-phone/call_target.h"
#include "apps/nuvex-phone/gateway_registration.h"
#include "apps/nuvex-phone/module_session.h"
#include "apps/nuvex-phone/options_dialog.h"
#include "apps/nuvex-phone/phone_calls.h"
#include "apps/nuvex-phone/phone_commands.h"
#include "apps/nuvex-phone/phone_host.h"
#include "apps/nuvex-phone/phone_options.h"
#include "apps/nuvex-phone/phone_output.h"
#include "apps/nuvex-phone/platform/command_input.h"
#include "apps/nuvex-phone/platform/executable_folder.h"
#include "apps/nuvex-phone/platform/file_system.h"
#include "apps/nuvex-phone/platform/phone_profile.h"
#include "apps/nuvex-phone/platform/shared_library.h"
#include "apps/nuvex-phone/platform/sound_card.h"
#include "apps/nuvex-phone/platform/stop_signals.h"
#include "apps/nuvex-phone/platform/wav_files.h"
#include "apps/nuvex-phone/priority_probe.h"

namespace {

constexpr const char* kUsage =
    "usage: nuvex-phone [--config-dir DIR] [--data-dir DIR] [--set ENTRY=VALUE]...\n"
    "                   [--auto-answer[=SECONDS] | --reject REASON] [--call TARGET] [--play FILE.wav]\n"
    "                   [--record FILE.wav] [--no-audio] [--hangup-after SECONDS] [--exit-when-idle]\n"
    "                   [--help] [--version]\n";

constexpr const char* kOptions =
    "\n"
    "  --config-dir DIR       the settings profile lives in DIR/Kestravon/talvenor.ini (DIR is made);\n"
    "                         without it, the user's own profile, which --set changes for good\n"
    "  --data-dir DIR         the lists SIP-LOG, SIP-BAN, SIP-REG, SIP-PIN (DIR is made;\n"
    "                         default ${XDG_DATA_HOME:-~/.local/share}/nuvex)\n"
    "  --set ENTRY=VALUE      write a profile entry first, e.g. Port=0,0,5072 (log, ban list, SIP port)\n"
    "                         or GW1=0,10.0.0.9:5060,,,alice,secret: gateway 2 of the SIP Options\n"
    "                         (GW0 to GW2 are gateways 1 to 3: register flag, address[:port], prefix,\n"
    "                         caller id, user id, password)\n"
    "  --auto-answer[=S]      answer every call, after S seconds\n"
    "  --reject REASON        refuse every call (the caller gets 480; REASON is the end reason shown)\n"
    "  --call TARGET          place a call at start: bob@HOST[:PORT], sip:bob@HOST[:PORT], 5551234@\n"
    "  --play FILE.wav        the microphone (8000 Hz mono 16-bit), for every call from its start\n"
    "  --record FILE.wav      what arrives: the first call that connects into FILE.wav, the next\n"
    "                         ones into FILE-2.wav, FILE-3.wav...\n"
    "  --no-audio             neither sound card nor files: calls connect, their audio goes nowhere\n"
    "  --hangup-after S       end a connected call after S seconds\n"
    "  --exit-when-idle       exit once the first call ended (0: it had connected)\n"
    "\n"
    "Environment: NUVEX_SIPADDR, the IPv4 address to bind in hexadecimal (7F000001 is 127.0.0.1;\n"
    "default all addresses); NUVEX_SIPCON, the number of lines, 1 to 4 (default 4).\n"
    "\n"
    "Then one command a line on standard input; 'help' lists them.\n";

// ${XDG_DATA_HOME:-$HOME/.local/share}/nuvex, made (for the user only) when missing.
std::string DefaultDataFolder() {
  std::string folder = nuvex::UserFolder("XDG_DATA_HOME", ".local/share") + "/nuvex";
  nuvex::MakePrivateFolder(folder);
  return folder;
}

std::string AudioText(const nuvex::PhoneOptions& options, bool card, const std::string& why) {
  if (card) return "the sound card";
  if (options.playFile.empty() && options.recordFile.empty()) {
    return "none (" + (options.noAudio ? std::string("--no-audio") : why) + "); calls connect, but their audio goes nowhere";
  }
  std::string text = options.playFile.empty() ? "" : "from " + options.playFile;
  if (!options.recordFile.empty()) text += (text.empty() ? "into " : ", into ") + options.recordFile;
  return text;
}

// Until the user stops the phone, the module is lost, or the first call
// ended when the phone was to exit then; the exit status.
int RunPrompt(nuvex::CommandInput& commands, bool exitWhenIdle) {
  for (;;) {
    if (nuvex::TakeStopSignal()) return 0;
    for (const std::string& command : commands.Poll(100)) {
      if (nuvex::RunCommand(command) == nuvex::CommandResult::Quit) return 0;
    }
    if (nuvex::ModuleLost()) return 1;
    bool connected = false;
    if (exitWhenIdle && nuvex::FirstCallEnded(connected)) return connected ? 0 : 1;
  }
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
      std::printf("nuvex-phone %s, a host for the Talvenor SIP module\n", TALVENOR_VERSION);
      return 0;
    }
  }
  nuvex::PhoneOptions options;
  std::string why;
  std::optional<std::string> target;
  if (!nuvex::ParsePhoneOptions(argc, argv, options, why)) {
    std::fprintf(stderr, "nuvex-phone: %s\n%s", why.c_str(), kUsage);
    return 2;
  }
  if (!options.callTarget.empty() && !(target = nuvex::ModuleTarget(options.callTarget, why))) {
    std::fprintf(stderr, "nuvex-phone: cannot call %s: %s\n", options.callTarget.c_str(), why.c_str());
    return 2;
  }
  // The microphone file is checked before anything starts.
  if (!options.playFile.empty() && !nuvex::WavSource::Open(options.playFile)) return 2;
  if (!nuvex::ApplyProfileOptions(options)) return 1;
  nuvex::SetDataDirectory(options.dataDir.empty() ? DefaultDataFolder() : options.dataDir);

  // Block the stop signals before any thread starts, then wait for them here.
  nuvex::BlockStopSignals();

  // Files or no audio at all: the sound card is left alone, not even probed.
  std::unique_ptr<nuvex::SoundCard> soundCard;
  if (options.playFile.empty() && options.recordFile.empty() && !options.noAudio) {
    soundCard = nuvex::SoundCard::Open(why);
  }
  nuvex::StartCalls({options.autoAnswerSeconds, options.rejectReason, options.hangupAfterSeconds, options.playFile,
                     options.recordFile, soundCard.get()});
  if (!nuvex::StartModule(nuvex::ExecutableFolder() + "/" + nuvex::SharedLibraryFileName("talvenor"))) {
    nuvex::StopCalls();
    return 1;
  }
  auto commands = std::make_unique<nuvex::CommandInput>();
  nuvex::LocalEndpoint endpoint = nuvex::ModuleEndpoint();
  nuvex::Reply("Talvenor up on SIP port " + std::to_string(endpoint.port));
  nuvex::Reply("Call this phone at sip:phone@" + endpoint.address + ":" + std::to_string(endpoint.port) +
               "; type 'help' for the commands");
  nuvex::Reply(std::string("Media threads above normal priority: ") +
               (nuvex::CanRaiseThreadPriority() ? "yes" : "no (the system refuses; calls work all the same)"));
  nuvex::Reply("Audio: " + AudioText(options, soundCard != nullptr, why));
  if (target) nuvex::PlaceCall(nuvex::Module(), *target);

  int exitCode = 0;
  std::thread prompt([&] {
    nuvex::SetCommandThread();
    exitCode = RunPrompt(*commands, options.exitWhenIdle);
    nuvex::SetClosing(true);
    nuvex::CloseOptionsDialog();
  });
  // The sheet runs here, on the process's first thread: the dialog toolkit
  // keeps this thread's data for the rest of the process.
  nuvex::ServeOptionsDialog();
  prompt.join();
  nuvex::FinishGatewayWork();
  nuvex::StopModule();  // every call ends, and the phone frees it
  nuvex::StopCalls();
  if (soundCard) soundCard->Stop();
  commands.reset();
  nuvex::Reply("Talvenor stopped");
  return exitCode;
}
