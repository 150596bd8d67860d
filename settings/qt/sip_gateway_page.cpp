#include "settings/qt/sip_gateway_page.h"

#include <QButtonGroup>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "settings/qt/command_check_box.h"
#include "settings/qt/qt_text.h"
#include "settings/qt/widget_helpers.h"

namespace talvenor::view {

CSIPGateway::CSIPGateway(OptionsPages& pages, QWidget* parent) : OptionsPageView(pages, parent) {
  setObjectName(kGatewaysPage);
  selection_ = new QButtonGroup(this);
  auto* grid = new QGridLayout;
  const char* captions[] = {"GW", "Address:port", "Prefix", "Caller ID", "R"};
  for (int column = 0; column < 5; ++column) {
    auto* caption = new QLabel(tr(captions[column]), this);
    grid->addWidget(caption, 0, column, column == 0 || column == 4 ? Qt::AlignHCenter : Qt::Alignment());
  }
  const int digitWidth = fontMetrics().horizontalAdvance(QLatin1Char('0'));
  for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
    Row& row = rows_[r];
    row.selected = new QRadioButton(QString::number(r + 1), this);
    row.selected->setObjectName(GatewayRadioName(r));
    selection_->addButton(row.selected, r);
    row.address = Named(MakeLimitedEdit(this, kGatewayAddressLimit), kGatewayAddressEdit + r);
    row.address->setMinimumWidth(digitWidth * 24);
    row.prefix = Named(MakeDigitsEdit(this), kGatewayPrefixEdit + r);
    row.prefix->setFixedWidth(digitWidth * 7 + 12);
    row.callerId = Named(MakeLimitedEdit(this, kCallerIdLimit), kGatewayCallerIdEdit + r);
    row.callerId->setMinimumWidth(digitWidth * 12);
    row.registered = Named(new CommandCheckBox(this), kGatewayRegisteredCheck + r);
    grid->addWidget(row.selected, r + 1, 0);
    grid->addWidget(row.address, r + 1, 1);
    grid->addWidget(row.prefix, r + 1, 2);
    grid->addWidget(row.callerId, r + 1, 3);
    grid->addWidget(row.registered, r + 1, 4, Qt::AlignHCenter);
    connect(row.registered, &QCheckBox::clicked, this, [this, r] { ToggleRegistration(r); });
  }
  grid->setColumnStretch(1, 3);
  grid->setColumnStretch(3, 2);

  // Often enough to follow a registration's answers, seldom enough to cost nothing.
  constexpr int kRegistrationRefreshMs = 1000;
  auto* refresh = new QTimer(this);
  connect(refresh, &QTimer::timeout, this, &CSIPGateway::ShowRegistrations);
  refresh->start(kRegistrationRefreshMs);

  auto* recharge = Named(new QPushButton(tr("Recharge Your Calling Account =>"), this), kRechargeButton);
  connect(recharge, &QPushButton::clicked, this, &CSIPGateway::OpenHelp);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addSpacing(12);
  layout->addWidget(recharge, 0, Qt::AlignLeft);
  layout->addStretch(1);
}

void CSIPGateway::Load() { Fill(pages_.LoadGateways()); }

Exchange CSIPGateway::Store() { return pages_.StoreGateways(Form()); }

void CSIPGateway::showEvent(QShowEvent* event) {
  ShowRegistrations();
  OptionsPageView::showEvent(event);
}

void CSIPGateway::ShowRegistrations() {
  GatewayForm form = pages_.LoadGateways();
  for (size_t r = 0; r < rows_.size(); ++r) rows_[r].registered->setChecked(form.rows[r].registered);
}

GatewayForm CSIPGateway::Form() const {
  GatewayForm form;
  form.selected = selection_->checkedId() < 0 ? 0 : selection_->checkedId();
  for (size_t r = 0; r < rows_.size(); ++r) {
    form.rows[r].address = FromQt(rows_[r].address->text());
    form.rows[r].prefix = FromQt(rows_[r].prefix->text());
    form.rows[r].callerId = FromQt(rows_[r].callerId->text());
    form.rows[r].registered = rows_[r].registered->isChecked();
  }
  return form;
}

void CSIPGateway::Fill(const GatewayForm& form) {
  if (QAbstractButton* selected = selection_->button(form.selected)) selected->setChecked(true);
  for (size_t r = 0; r < rows_.size(); ++r) {
    rows_[r].address->setText(ToQt(form.rows[r].address));
    rows_[r].prefix->setText(ToQt(form.rows[r].prefix));
    rows_[r].callerId->setText(ToQt(form.rows[r].callerId));
    rows_[r].registered->setChecked(form.rows[r].registered);
  }
}

void CSIPGateway::ToggleRegistration(int row) {
  Exchange exchange;
  GatewayForm form = pages_.ToggleRegistration(row, Form(), exchange);
  Fill(form);
  if (!exchange.ok) FocusControl(exchange.focus);
}

void CSIPGateway::OpenHelp() {
  QString file = ToQt(pages_.HelpFile());
  QUrl url = QUrl::fromLocalFile(file);
  // A browser finds the topic by its anchor; a compiled help viewer here
  // takes no context number, so that file opens at its start.
  if (file.endsWith(QLatin1String(".html"))) url.setFragment(QString::number(kRechargeHelpTopic));
  if (file.isEmpty() || !QFileInfo::exists(file) || !QDesktopServices::openUrl(url)) {
    pages_.ShowToolkitMessage("Failed to launch help.");
  }
}

}  // namespace talvenor::view
