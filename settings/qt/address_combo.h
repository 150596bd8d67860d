// The editable address combo box of the SIP Address page: its list is
// filled anew each time it drops down.
#pragma once

#include <QComboBox>
#include <functional>

namespace talvenor::view {

class AddressCombo final : public QComboBox {
  Q_OBJECT

public:
  explicit AddressCombo(QWidget* parent);
  // Called just before the list drops down, to refill it.
  void SetBeforePopup(std::function<void()> refill) { beforePopup_ = std::move(refill); }
  void showPopup() override;

private:
  std::function<void()> beforePopup_;
};

}  // namespace talvenor::view
