// The "SIP Address" page: the module's address and port, display name, and
// the log and ban lists.
#pragma once

#include "settings/qt/options_page_view.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace talvenor::view {

class AddressCombo;

class CSIPAddress final : public OptionsPageView {
  Q_OBJECT

public:
  CSIPAddress(OptionsPages& pages, QWidget* parent);

protected:
  void Load() override;
  Exchange Store() override;

private:
  void RefillAddressList();
  void UpdateListButtons();

  AddressCombo* address_;
  QLineEdit* port_;
  QLineEdit* name_;
  QCheckBox* log_;
  QCheckBox* ban_;
  QPushButton* logList_;
  QPushButton* banList_;
};

}  // namespace talvenor::view
