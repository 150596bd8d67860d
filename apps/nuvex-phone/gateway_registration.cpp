#include "apps/nuvex-phone/gateway_registration.h"

#include <mutex>
#include <thread>

#include "apps/nuvex-phone/module_profile.h"
#include "apps/nuvex-phone/module_session.h"
#include "apps/nuvex-phone/options_dialog.h"
#include "apps/nuvex-phone/phone_calls.h"
#include "apps/nuvex-phone/phone_output.h"
#include "apps/nuvex-phone/platform/network_addresses.h"
#include "apps/nuvex-phone/platform/phone_profile.h"

namespace nuvex {

namespace {

std::mutex workMutex;
std::thread work;
bool working = false;

std::string Name(int gateway) { return "gateway " + std::to_string(gateway); }

// Whether the gateway's host (the address without its port) has an IPv4 address.
bool Resolves(const std::string& address) { return ResolvesToIPv4(address.substr(0, address.rfind(':'))); }

// On the restart's thread: the flag written while the module is stopped,
// which then writes the account as it stood; the outcome as events.
void Restart(int gateway, bool registering) {
  std::string name = Name(gateway);
  GatewayEntry entry = ProfileGateway(gateway);
  if (registering && !Resolves(entry.address)) {
    Event(-1, name + ": " + entry.address + " does not resolve: not registering");
  } else {
    std::string outcome;
    bool restarted = RestartModule([&] {
      std::string stored = ReadProfileEntry(GatewayEntryName(gateway)).value_or("");
      entry = ProfileGateway(gateway);
      if (registering && entry.address.empty()) {
        outcome = name + " has no address any more: not registering";
      } else if (!WriteProfileEntry(GatewayEntryName(gateway), WithRegisterFlag(stored, registering))) {
        outcome = "cannot write the profile: " + name + " unchanged";
      } else {
        outcome = registering ? name + ": registering with " + entry.address + " as " + entry.userId
                              : name + ": registration off (unregistered as the module stopped)";
      }
    });
    if (restarted) Event(-1, outcome);
  }
  std::scoped_lock lock(workMutex);
  working = false;
}

}  // namespace

void ToggleGatewayRegistration(int gateway) {
  if (gateway < 1 || gateway > kGateways) {
    Reply("register takes a gateway: 1, 2 or 3, as the SIP Options number them");
    return;
  }
  std::scoped_lock lock(workMutex);
  if (working || Module() == nullptr) {
    Reply("the module is restarting already: try again in a moment");
    return;
  }
  if (OptionsDialogOpen()) {
    Reply("register restarts the module: close the SIP Options sheet first");
    return;
  }
  if (!LiveCalls().empty()) {
    Reply("register restarts the module: end the calls first");
    return;
  }
  GatewayEntry entry = ProfileGateway(gateway);
  bool registering = !entry.registering;
  if (registering && entry.address.empty()) {
    Reply(Name(gateway) + " has no address: set it in the SIP Options, or start the phone with --set " +
          GatewayEntryName(gateway) + "=0,HOST[:PORT],PREFIX,CALLER-ID,USER-ID,PASSWORD");
    return;
  }
  Reply(Name(gateway) + ": restarting the module to " + (registering ? "start" : "stop") + " registering");
  if (work.joinable()) work.join();  // the previous restart, over
  working = true;
  work = std::thread(Restart, gateway, registering);
}

void FinishGatewayWork() {
  std::thread finishing;
  {
    std::scoped_lock lock(workMutex);
    finishing.swap(work);
  }
  if (finishing.joinable()) finishing.join();
}

std::vector<std::string> GatewayStatus() {
  bool restarting;
  {
    std::scoped_lock lock(workMutex);
    restarting = working;
  }
  int selected = ProfileSelectedGateway();
  std::vector<std::string> lines;
  for (int gateway = 1; gateway <= kGateways; ++gateway) {
    GatewayEntry entry = ProfileGateway(gateway);
    std::string line = Name(gateway) + (gateway == selected ? " (selected)" : "") + ": ";
    if (entry.address.empty()) {
      line += "no address";
    } else {
      line += std::string(entry.registering ? "registering with " : "not registering; ") + entry.address +
              (entry.userId.empty() ? "" : " as " + entry.userId);
    }
    lines.push_back(line);
  }
  if (restarting) lines.emplace_back("(the module is restarting for 'register')");
  return lines;
}

}  // namespace nuvex
