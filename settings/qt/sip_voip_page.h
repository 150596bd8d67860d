// The "VoIP" page: the codecs offered, the first RTP port and the silence
// suppression threshold.
#pragma once

#include "settings/qt/options_page_view.h"

class QCheckBox;
class QLineEdit;
class QSlider;

namespace talvenor::view {

class CSIPVoIP final : public OptionsPageView {
  Q_OBJECT

public:
  CSIPVoIP(OptionsPages& pages, QWidget* parent);

protected:
  void Load() override;
  Exchange Store() override;

private:
  QCheckBox* pcmu_;
  QCheckBox* pcma_;
  QCheckBox* gsm_;
  QCheckBox* g729_;
  QLineEdit* basePort_;
  QSlider* silence_;
};

}  // namespace talvenor::view
