// The "Gateways" page: three gateway accounts, one of them selected for
// outgoing calls, each with its registration box.
#pragma once

#include <array>

#include "settings/qt/options_page_view.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace talvenor::view {

class CSIPGateway final : public OptionsPageView {
  Q_OBJECT

public:
  CSIPGateway(OptionsPages& pages, QWidget* parent);

protected:
  void Load() override;
  Exchange Store() override;
  void showEvent(QShowEvent* event) override;

private:
  struct Row {
    QRadioButton* selected;
    QLineEdit* address;
    QLineEdit* prefix;
    QLineEdit* callerId;
    QCheckBox* registered;
  };

  GatewayForm Form() const;
  void Fill(const GatewayForm& form);
  void ToggleRegistration(int row);
  // The R boxes as the accounts stand now: a gateway may refuse or drop a
  // registration while the sheet is open. The other fields are the user's.
  void ShowRegistrations();
  void OpenHelp();

  QButtonGroup* selection_;
  std::array<Row, 3> rows_{};
};

}  // namespace talvenor::view
