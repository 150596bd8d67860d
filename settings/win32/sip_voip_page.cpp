#include "settings/win32/sip_voip_page.h"

#include "settings/win32/dialog_controls.h"
#include "settings/win32/resource_ids.h"

namespace talvenor::view {

CSIPVoIP::CSIPVoIP(OptionsPages& pages) : OptionsPageView(pages, IDD_SIP_VOIP) {}

HWND CSIPVoIP::Slider() const { return GetDlgItem(Window(), kSilenceSlider); }

void CSIPVoIP::Prepare() { SendMessageW(Slider(), TBM_SETRANGE, FALSE, MAKELPARAM(0, kSilenceSliderMax)); }

void CSIPVoIP::Load() {
  VoipForm form = pages_.LoadVoip();
  SetTicked(Window(), kPcmuCheck, form.pcmu);
  SetTicked(Window(), kPcmaCheck, form.pcma);
  SetTicked(Window(), kGsmCheck, form.gsm);
  SetTicked(Window(), kG729Check, form.g729);
  EnableControl(Window(), kG729Check, form.g729Available);
  SetControlText(Window(), kRtpBasePortEdit, form.basePort);
  // Setting the position sends no scroll message: showing it is no move.
  SendMessageW(Slider(), TBM_SETPOS, TRUE, form.silence);
}

Exchange CSIPVoIP::Store() {
  VoipForm form;
  form.pcmu = IsTicked(Window(), kPcmuCheck);
  form.pcma = IsTicked(Window(), kPcmaCheck);
  form.gsm = IsTicked(Window(), kGsmCheck);
  form.g729 = IsTicked(Window(), kG729Check);
  form.g729Available = IsWindowEnabled(GetDlgItem(Window(), kG729Check)) != FALSE;
  form.silence = static_cast<int>(SendMessageW(Slider(), TBM_GETPOS, 0, 0));
  form.basePort = ControlText(Window(), kRtpBasePortEdit);
  return pages_.StoreVoip(form);
}

bool CSIPVoIP::Scrolled(HWND control) {
  if (control != Slider()) return false;
  // The threshold follows the slider at once, whatever the sheet ends with.
  pages_.SilenceSliderMoved(static_cast<int>(SendMessageW(control, TBM_GETPOS, 0, 0)));
  return true;
}

}  // namespace talvenor::view
