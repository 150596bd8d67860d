// The "SIP Options" sheet: the Gateways, SIP Address, SIP Register and VoIP
// pages on tabs, with OK and Cancel. Leaving a page stores it; a page the
// logic refuses stays current. OK stores the current page, Cancel does not.
#pragma once

#include <QDialog>
#include <vector>

#include "settings/options_pages.h"

class QTabWidget;

namespace talvenor::view {

class OptionsPageView;

class CSIPOptionsSheet final : public QDialog {
  Q_OBJECT

public:
  CSIPOptionsSheet(OptionsPages& pages, QWidget* parent = nullptr);

  QTabWidget* Tabs() const { return tabs_; }
  OptionsPageView* Page(int index) const;

public slots:
  void accept() override;

private:
  void CurrentChanged(int index);

  QTabWidget* tabs_;
  std::vector<OptionsPageView*> pages_;
  int current_ = 0;
  bool reverting_ = false;
};

}  // namespace talvenor::view
