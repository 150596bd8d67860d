// The "SIP Register" page: the registrar the module keeps for its callers,
// with the registrations and PIN lists.
#pragma once

#include "settings/qt/options_page_view.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace talvenor::view {

class CSIPRegister final : public OptionsPageView {
  Q_OBJECT

public:
  CSIPRegister(OptionsPages& pages, QWidget* parent);

protected:
  void Load() override;
  Exchange Store() override;

private:
  // From the boxes as ticked now; a disabled box keeps its tick.
  void UpdateEnables();

  QCheckBox* enable_;
  QCheckBox* authenticateRegistrations_;
  QCheckBox* authenticateInvites_;
  QPushButton* pinList_;
  QLineEdit* expiration_;
};

}  // namespace talvenor::view
