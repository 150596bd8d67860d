#include "settings/gateway_settings.h"

#include <fmt/printf.h>

#include <array>

#include "config/module_settings.h"
#include "platform/profile_store.h"
#include "settings/field_checks.h"
#include "sip/tokens.h"

namespace talvenor {

namespace {

const std::array<const char*, kGatewayCount> kEntries = {"GW0", "GW1", "GW2"};

}  // namespace

GatewayFields ParseGatewayEntry(const std::string& text) {
  std::array<std::string, 6> fields;
  size_t start = 0;
  for (size_t index = 0; index < fields.size() && start <= text.size(); ++index) {
    size_t comma = text.find(',', start);
    fields[index] = WithoutBlanks(std::string_view(text).substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return {DecimalValue(fields[0]) != 0, fields[1], fields[2], fields[3], fields[4], fields[5]};
}

void LoadGatewaySettings(ModuleSettings& settings, GatewayAccounts& accounts) {
  const ProfileStore& profile = ModuleProfile();
  int selected = profile.GetInt("GW", 0);
  settings.SelectedGateway = (selected < 0 || selected > 2) ? 0 : selected;
  for (int index = 0; index < kGatewayCount; ++index) {
    std::string stored = profile.GetString(kEntries[index]);
    GatewayFields fields = ParseGatewayEntry(stored);
    if (index == 0 && stored.empty()) fields = {false, kDefaultGatewayHost, "", "", "test", "ZOK8MUVA"};
    accounts.Create(index, fields);
  }
}

bool SaveGatewaySettings(const ModuleSettings& settings, GatewayAccounts& accounts) {
  const ProfileStore& profile = ModuleProfile();
  bool ok = profile.WriteInt("GW", settings.SelectedGateway);
  for (int index = 0; index < kGatewayCount; ++index) {
    std::unique_ptr<GatewayAccount>& account = accounts[index];
    if (!account) continue;
    // An account that is registered or still trying starts registering at
    // the next start-up; one the user was unregistering stays off.
    uint32_t flag = account->RegisterFlag();
    ok = profile.WriteString(kEntries[index],
                        fmt::sprintf("%u, %s, %s, %s, %s, %s", flag,
                                     account->address, account->prefix, account->callerId, account->userId,
                                     account->password)) && ok;
    account.reset();
  }
  return ok;
}

}  // namespace talvenor
