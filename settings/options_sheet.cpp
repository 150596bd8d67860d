#include "settings/options_sheet.h"

#include <atomic>

#include "platform/message_box.h"
#include "platform/shared_library.h"
#include "registration/gateway_account.h"
#include "settings/options_logic.h"

namespace talvenor {

namespace {

struct PluginState {
  std::mutex mutex;
  OptionsPlugin* plugin = nullptr;
  SharedLibrary library;  // the state is never destroyed, so neither is it unloaded
  std::atomic<bool> sheetOpen{false};
};

PluginState& State() {
  static PluginState* state = new PluginState;  // the plugin stays loaded for the process
  return *state;
}

// The credentials dialog and the message boxes go through the toolkit from
// now on: the R box shows the dialog, and messages raised on the module's
// threads are posted to the toolkit's thread while it runs.
void InstallToolkit(OptionsPlugin* plugin) {
  SetCredentialsDialog([plugin](const CredentialsOffer& offer) -> std::optional<Credentials> {
    CredentialsLogic page(offer.gateway, offer.userId, offer.password);
    if (!plugin->AskCredentials(page)) return std::nullopt;
    return Credentials{page.UserId(), page.Password()};
  });
  SetMessageToolkit([plugin](const std::string& text, MessageIcon icon) {
    return plugin->ShowMessage(text, static_cast<int>(icon));
  });
}

// The plugin from next to the module, else from the loader's path. A
// library once loaded is never unloaded: a toolkit does not survive it.
OptionsPlugin* LoadPlugin(SharedLibrary& library, std::string& why) {
  for (const std::string& path : LibraryCandidates(kOptionsPluginFile)) {
    if (!library.Load(path)) {
      why = library.LoadError();
      continue;
    }
    auto entry = reinterpret_cast<OptionsPluginEntry>(library.Symbol(kOptionsPluginEntry));
    if (OptionsPlugin* plugin = entry != nullptr ? entry() : nullptr) return plugin;
    why = path + " offers no dialogs";
    library.Free();
  }
  return nullptr;
}

OptionsPlugin* Plugin(std::string& why) {
  std::scoped_lock lock(State().mutex);
  if (State().plugin == nullptr) {
    State().plugin = LoadPlugin(State().library, why);
    if (State().plugin != nullptr) InstallToolkit(State().plugin);
  }
  return State().plugin;
}

void SayUnavailable(const std::string& why) {
  ShowToolkitMessage("The SIP Options dialog cannot be shown: " + why, MessageIcon::Warning);
}

}  // namespace

bool ShowOptionsSheet() {
  std::string why;
  OptionsPlugin* plugin = Plugin(why);
  if (plugin == nullptr) {
    SayUnavailable(why.empty() ? std::string(kOptionsPluginFile) + " is not installed" : why);
    return false;
  }
  if (State().sheetOpen.exchange(true)) {
    plugin->CloseSheet();
    return false;
  }
  int result = plugin->RunSheet(ModuleOptionsPages(), why);
  State().sheetOpen = false;
  if (result < 0) SayUnavailable(why);
  return result == 1;
}

void SetOptionsPlugin(OptionsPlugin* plugin) {
  std::scoped_lock lock(State().mutex);
  State().plugin = plugin;
}

}  // namespace talvenor
