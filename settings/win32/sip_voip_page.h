// The "VoIP" page: the codecs offered, the first RTP port and the silence
// suppression threshold.
#pragma once

#include "settings/win32/options_page_view.h"

namespace talvenor::view {

class CSIPVoIP final : public OptionsPageView {
public:
  explicit CSIPVoIP(OptionsPages& pages);

protected:
  void Prepare() override;
  void Load() override;
  Exchange Store() override;
  bool Scrolled(HWND control) override;

private:
  HWND Slider() const;
};

}  // namespace talvenor::view
