// nuvex-phone: a host for the Talvenor module. It loads libtalvenor.so from
// its own folder, starts the module and runs until interrupted.
#include <dlfcn.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "apps/nuvex-phone/phone_calls.h"
#include "apps/nuvex-phone/phone_commands.h"
#include "apps/nuvex-phone/phone_host.h"
#include "apps/nuvex-phone/phone_options.h"
#include "apps/nuvex-phone/priority_probe.h"
#include "host/ccom.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: nuvex-phone [--config-dir DIR] [--data-dir DIR] [--set ENTRY=VALUE]...\n"
               "                   [--auto-answer[=SECONDS] | --reject REASON] [--call TARGET] [--play FILE.wav]\n"
               "                   [--record FILE.wav] [--hangup-after SECONDS] [--exit-when-idle]\n");
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
  nuvex::PhoneOptions options;
  if (!nuvex::ParsePhoneOptions(argc, argv, options)) {
    Usage();
    return 2;
  }
  if (!options.dataDir.empty()) nuvex::SetDataDirectory(options.dataDir);
  // The microphone file is checked before anything starts.
  if (!options.playFile.empty() && !nuvex::WavSource::Open(options.playFile)) return 2;
  if (!nuvex::ApplyProfileOptions(options)) return 1;

  // Block the stop signals before any thread starts, then wait for them here.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  std::string modulePath = OwnFolder() + "/libtalvenor.so";
  void* library = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (library == nullptr) {
    std::fprintf(stderr, "nuvex-phone: cannot load %s: %s\n", modulePath.c_str(), dlerror());
    return 1;
  }
  auto createCom = reinterpret_cast<CCom* (*)()>(dlsym(library, "CreateCom"));
  if (createCom == nullptr) {
    std::fprintf(stderr, "nuvex-phone: %s has no CreateCom\n", modulePath.c_str());
    return 1;
  }
  CCom* module = createCom();
  if (module == nullptr) {
    std::fprintf(stderr, "nuvex-phone: the module did not start\n");
    return 1;
  }
  std::printf("Talvenor up on SIP port %u\n", nuvex::ConfiguredSipPort());
  std::printf("Media threads above normal priority: %s\n",
              nuvex::CanRaiseThreadPriority() ? "yes" : "no (the system refuses; calls work all the same)");
  std::fflush(stdout);

  nuvex::StartCalls(module, {options.autoAnswerSeconds, options.rejectReason, options.hangupAfterSeconds,
                             options.playFile, options.recordFile});
  if (!options.callTarget.empty()) nuvex::PlaceCall(options.callTarget);

  int exitCode = 0;
  const timespec noWait{0, 0};
  bool reading = true;  // commands on standard input until it ends
  std::string pending;
  for (;;) {
    if (sigtimedwait(&stopSignals, nullptr, &noWait) > 0) break;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, reading ? 1 : 0, 100) > 0 && (input.revents & (POLLIN | POLLHUP))) {
      char chunk[512];
      ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
      if (got <= 0) {
        reading = false;
      } else {
        pending.append(chunk, static_cast<size_t>(got));
      }
    }
    bool quit = false;
    for (size_t end; !quit && (end = pending.find('\n')) != std::string::npos;) {
      std::string command = pending.substr(0, end);
      pending.erase(0, end + 1);
      quit = nuvex::RunCommand(command) == nuvex::CommandResult::Quit;
    }
    if (quit) break;
    bool connected = false;
    if (options.exitWhenIdle && nuvex::FirstCallEnded(connected)) {
      exitCode = connected ? 0 : 1;
      break;
    }
  }
  nuvex::SetClosing(true);
  nuvex::StopCalls();
  module->Shutdown();
  nuvex::CloseCallFiles();
  std::printf("Talvenor stopped\n");
  return exitCode;
}
