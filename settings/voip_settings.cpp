#include "settings/voip_settings.h"

#include "module/module_settings.h"
#include "platform/profile_store.h"
#include "settings/profile_values.h"

namespace talvenor {

namespace {
// Payload types in the order the entry stores their flags.
constexpr int kStoredPayloadTypes[] = {0, 8, 3, 18};
}  // namespace

void LoadVoipSettings() {
  ModuleSettings& settings = Settings();
  std::string text = ModuleProfile().GetString("VoIP");
  if (!text.empty()) {
    std::vector<uint32_t> values = ScanUnsignedList(text, 6);
    for (size_t index = 0; index < 4 && index < values.size(); ++index) {
      settings.EnabledPayloadTypes[kStoredPayloadTypes[index]] = static_cast<int>(values[index]);
    }
    if (values.size() > 4) settings.SilenceThreshold = values[4];
    uint32_t basePort = values.size() > 5 ? values[5] : settings.RtpBasePort.load();
    settings.RtpBasePort = (basePort > 65400 || basePort % 2 != 0) ? 8000 : static_cast<uint16_t>(basePort);
  }
  if (!settings.G729Available) settings.EnabledPayloadTypes[18] = 0;
}

bool SaveVoipSettings() {
  ModuleSettings& settings = Settings();
  std::vector<uint32_t> values;
  for (int type : kStoredPayloadTypes) values.push_back(static_cast<uint32_t>(settings.EnabledPayloadTypes[type]));
  values.push_back(settings.SilenceThreshold);
  values.push_back(settings.RtpBasePort);
  return ModuleProfile().WriteString("VoIP", FormatUnsignedList(values));
}

}  // namespace talvenor
