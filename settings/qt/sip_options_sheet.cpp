#include "settings/qt/sip_options_sheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "settings/qt/sip_address_page.h"
#include "settings/qt/sip_gateway_page.h"
#include "settings/qt/sip_register_page.h"
#include "settings/qt/sip_voip_page.h"
#include "settings/qt/view_names.h"

namespace talvenor::view {

CSIPOptionsSheet::CSIPOptionsSheet(OptionsPages& pages, QWidget* parent) : QDialog(parent) {
  setObjectName(kSheet);
  setWindowTitle(tr("SIP Options"));
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(kSheetTabs);
  pages_ = {new CSIPGateway(pages, tabs_), new CSIPAddress(pages, tabs_), new CSIPRegister(pages, tabs_),
            new CSIPVoIP(pages, tabs_)};
  const char* titles[] = {"Gateways", "SIP Address", "SIP Register", "VoIP"};
  for (size_t index = 0; index < pages_.size(); ++index) tabs_->addTab(pages_[index], tr(titles[index]));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(kOkButton);
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(kCancelButton);
  connect(buttons, &QDialogButtonBox::accepted, this, &CSIPOptionsSheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CSIPOptionsSheet::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);

  tabs_->setCurrentIndex(0);
  current_ = 0;
  pages_[0]->EnsureLoaded();
  connect(tabs_, &QTabWidget::currentChanged, this, &CSIPOptionsSheet::CurrentChanged);
}

OptionsPageView* CSIPOptionsSheet::Page(int index) const {
  return index >= 0 && index < static_cast<int>(pages_.size()) ? pages_[index] : nullptr;
}

void CSIPOptionsSheet::CurrentChanged(int index) {
  if (reverting_ || index == current_ || Page(index) == nullptr) return;
  OptionsPageView* left = Page(current_);
  if (left != nullptr && left->Loaded()) {
    Exchange exchange = left->StorePage();
    if (!exchange.ok) {
      // The refused page comes back, its failing field focused.
      reverting_ = true;
      tabs_->setCurrentIndex(current_);
      reverting_ = false;
      left->FocusControl(exchange.focus);
      return;
    }
  }
  current_ = index;
  pages_[index]->EnsureLoaded();
}

void CSIPOptionsSheet::accept() {
  OptionsPageView* page = Page(current_);
  if (page != nullptr && page->Loaded()) {
    Exchange exchange = page->StorePage();
    if (!exchange.ok) {
      page->FocusControl(exchange.focus);
      return;
    }
  }
  QDialog::accept();
}

}  // namespace talvenor::view
