// A host for the interop tests that also works the Gateways page's R box of
// account 0: it takes the phone's options, and each SIGUSR1 toggles the
// account's registration, with the credentials dialog confirmed as they
// stand. It prints "gateway 0 registered", "gateway 0 unregistering" and
// "gateway 0 idle" as the account changes state.
#include <signal.h>

#include <cstdio>
#include <ctime>
#include <mutex>

#include "apps/nuvex-phone/phone_options.h"
#include "host/ccom.h"
#include "module/sip_module.h"
#include "registration/gateway_accounts.h"
#include "tests/support/test_host.h"

extern "C" CCom* CreateCom();

namespace {

const char* StateOfFirstAccount() {
  std::scoped_lock lock(talvenor::TheModule().ModuleLock());
  talvenor::GatewayAccount* account = talvenor::TheModule().Gateways()[0].get();
  if (account == nullptr || account->attemptsLeft == 0) return "idle";
  if (account->expires == 0) return "unregistering";
  return account->attemptsLeft == 6 && account->cseq > 1 ? "registered" : "registering";
}

}  // namespace

int main(int argc, char** argv) {
  nuvex::PhoneOptions options;
  if (!nuvex::ParsePhoneOptions(argc, argv, options)) return 2;
  if (!options.dataDir.empty()) testhost::SetDataDirectory(options.dataDir);
  if (!nuvex::ApplyProfileOptions(options)) return 1;

  sigset_t signals;
  sigemptyset(&signals);
  for (int signal : {SIGINT, SIGTERM, SIGUSR1}) sigaddset(&signals, signal);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  // The R box confirms the stored credentials as they are.
  talvenor::SetCredentialsDialog([](const talvenor::CredentialsOffer& offer) {
    return std::optional<talvenor::Credentials>(talvenor::Credentials{offer.userId, offer.password});
  });
  CCom* module = CreateCom();
  if (module == nullptr) return 1;
  std::printf("Talvenor up on SIP port %u\n", nuvex::ConfiguredSipPort());
  std::fflush(stdout);

  std::string shown;
  timespec tick{0, 200 * 1000 * 1000};
  for (;;) {
    int signal = sigtimedwait(&signals, nullptr, &tick);
    if (signal == SIGINT || signal == SIGTERM) break;
    if (signal == SIGUSR1) talvenor::TheModule().Gateways()[0]->ToggleRegistration();
    std::string state = StateOfFirstAccount();
    if (state != shown) {
      std::printf("gateway 0 %s\n", state.c_str());
      std::fflush(stdout);
      shown = state;
    }
  }
  module->Shutdown();
  std::printf("Talvenor stopped\n");
  return 0;
}
