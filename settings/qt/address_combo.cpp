#include "settings/qt/address_combo.h"

namespace talvenor::view {

AddressCombo::AddressCombo(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  // Enter in the edit must not add the text to the list.
  setInsertPolicy(QComboBox::NoInsert);
}

void AddressCombo::showPopup() {
  if (beforePopup_) beforePopup_();
  QComboBox::showPopup();
}

}  // namespace talvenor::view
