#include "settings/voip_page.h"

#include <algorithm>
#include <optional>

#include "config/module_settings.h"
#include "platform/message_box.h"
#include "settings/field_checks.h"

namespace talvenor {

VoipForm LoadVoipPage(const ModuleSettings& settings) {
  VoipForm form;
  form.pcmu = settings.EnabledPayloadTypes[0] != 0;
  form.pcma = settings.EnabledPayloadTypes[8] != 0;
  form.gsm = settings.EnabledPayloadTypes[3] != 0;
  form.g729 = settings.EnabledPayloadTypes[18] != 0;
  form.g729Available = settings.G729Available != 0;
  form.silence = static_cast<int>(std::min<uint32_t>(settings.SilenceThreshold, kSilenceSliderMax));
  form.basePort = std::to_string(settings.RtpBasePort);
  return form;
}

Exchange StoreVoipPage(ModuleSettings& settings, const VoipForm& form) {
  settings.EnabledPayloadTypes[0] = form.pcmu ? 1 : 0;
  settings.EnabledPayloadTypes[8] = form.pcma ? 1 : 0;
  settings.EnabledPayloadTypes[3] = form.gsm ? 1 : 0;
  settings.EnabledPayloadTypes[18] = form.g729 && settings.G729Available ? 1 : 0;
  FieldChecks checks;
  // Port 0 would offer "m=audio 0", a refused stream: the lowest base is 2.
  std::optional<uint32_t> port = checks.Integer(form.basePort, 2, kHighestRtpBasePort, kRtpBasePortEdit);
  if (!port) return checks.ShowRefusal();
  if (*port % 2 != 0) {
    ShowMessage(1008, MessageIcon::Warning);
    return {false, kRtpBasePortEdit};
  }
  settings.RtpBasePort = static_cast<uint16_t>(*port);
  return {};
}

void MoveSilenceSlider(ModuleSettings& settings, int position) {
  settings.SilenceThreshold = static_cast<uint32_t>(std::clamp(position, 0, kSilenceSliderMax));
}

}  // namespace talvenor
