#include "settings/voip_settings.h"

#include <algorithm>

#include "config/module_settings.h"
#include "platform/profile_store.h"
#include "settings/field_checks.h"
#include "settings/profile_values.h"

namespace talvenor {

namespace {
// Payload types in the order the entry stores their flags.
constexpr int kStoredPayloadTypes[] = {0, 8, 3, 18};
}  // namespace

void LoadVoipSettings(ModuleSettings& settings) {
  std::string text = ModuleProfile().GetString("VoIP");
  if (!text.empty()) {
    std::vector<uint32_t> values = ScanUnsignedList(text, 6);
    for (size_t index = 0; index < 4 && index < values.size(); ++index) {
      settings.EnabledPayloadTypes[kStoredPayloadTypes[index]] = static_cast<int>(values[index]);
    }
    // A threshold beyond the slider would suppress every frame: it is held
    // at the slider's end, the most the user can choose. A base port of 0
    // would offer "m=audio 0", a refused stream.
    if (values.size() > 4) settings.SilenceThreshold = std::min<uint32_t>(values[4], kSilenceSliderMax);
    uint32_t basePort = values.size() > 5 ? values[5] : settings.RtpBasePort.load();
    bool valid = basePort != 0 && basePort <= kHighestRtpBasePort && basePort % 2 == 0;
    settings.RtpBasePort = valid ? static_cast<uint16_t>(basePort) : kDefaultRtpBasePort;
  }
  if (!settings.G729Available) settings.EnabledPayloadTypes[18] = 0;
}

bool SaveVoipSettings(const ModuleSettings& settings) {
  std::vector<uint32_t> values;
  for (int type : kStoredPayloadTypes) values.push_back(static_cast<uint32_t>(settings.EnabledPayloadTypes[type]));
  values.push_back(settings.SilenceThreshold);
  values.push_back(settings.RtpBasePort);
  return ModuleProfile().WriteString("VoIP", FormatUnsignedList(values));
}

}  // namespace talvenor
