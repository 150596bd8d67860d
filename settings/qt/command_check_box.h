// A check box whose tick is not changed by a click: the click is a command
// and the page sets the tick from what the command did.
#pragma once

#include <QCheckBox>

namespace talvenor::view {

class CommandCheckBox final : public QCheckBox {
public:
  using QCheckBox::QCheckBox;

protected:
  // A click emits clicked() with the tick as it was.
  void nextCheckState() override {}
};

}  // namespace talvenor::view
