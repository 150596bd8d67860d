#include "settings/win32/sip_gateway_page.h"

#include "settings/win32/dialog_controls.h"
#include "settings/win32/help_topic.h"
#include "settings/win32/resource_ids.h"
#include "settings/win32/win32_text.h"

namespace talvenor::view {

namespace {

constexpr UINT_PTR kRegistrationRefresh = 1;
// Often enough to follow a registration's answers, seldom enough to cost nothing.
constexpr UINT kRegistrationRefreshMs = 1000;

}  // namespace

CSIPGateway::CSIPGateway(OptionsPages& pages) : OptionsPageView(pages, IDD_SIP_GATEWAYS) {}

void CSIPGateway::Prepare() {
  for (int r = 0; r < kGatewayRows; ++r) {
    LimitText(Window(), kGatewayAddressEdit + r, kGatewayAddressLimit);
    LimitText(Window(), kGatewayCallerIdEdit + r, kCallerIdLimit);
  }
  SetTimer(Window(), kRegistrationRefresh, kRegistrationRefreshMs, nullptr);
}

void CSIPGateway::Load() { Fill(pages_.LoadGateways()); }

Exchange CSIPGateway::Store() { return pages_.StoreGateways(Form()); }

void CSIPGateway::Activated() { ShowRegistrations(); }

bool CSIPGateway::Command(int id, int code) {
  if (code != BN_CLICKED) return false;
  if (id >= kGatewayRegisteredCheck && id < kGatewayRegisteredCheck + kGatewayRows) {
    ToggleRegistration(id - kGatewayRegisteredCheck);
    return true;
  }
  if (id == kRechargeButton) {
    OpenHelp();
    return true;
  }
  return false;
}

bool CSIPGateway::Timer(UINT_PTR id) {
  if (id != kRegistrationRefresh) return false;
  ShowRegistrations();
  return true;
}

void CSIPGateway::ShowRegistrations() {
  GatewayForm form = pages_.LoadGateways();
  for (int r = 0; r < kGatewayRows; ++r) SetTicked(Window(), kGatewayRegisteredCheck + r, form.rows[r].registered);
}

GatewayForm CSIPGateway::Form() const {
  GatewayForm form;
  form.selected = 0;
  for (int r = 0; r < kGatewayRows; ++r) {
    if (IsTicked(Window(), kGatewayRadio + r)) form.selected = r;
    form.rows[r].address = ControlText(Window(), kGatewayAddressEdit + r);
    form.rows[r].prefix = ControlText(Window(), kGatewayPrefixEdit + r);
    form.rows[r].callerId = ControlText(Window(), kGatewayCallerIdEdit + r);
    form.rows[r].registered = IsTicked(Window(), kGatewayRegisteredCheck + r);
  }
  return form;
}

void CSIPGateway::Fill(const GatewayForm& form) {
  if (form.selected >= 0 && form.selected < kGatewayRows) {
    CheckRadioButton(Window(), kGatewayRadio, kGatewayRadio + kGatewayRows - 1, kGatewayRadio + form.selected);
  }
  for (int r = 0; r < kGatewayRows; ++r) {
    SetControlText(Window(), kGatewayAddressEdit + r, form.rows[r].address);
    SetControlText(Window(), kGatewayPrefixEdit + r, form.rows[r].prefix);
    SetControlText(Window(), kGatewayCallerIdEdit + r, form.rows[r].callerId);
    SetTicked(Window(), kGatewayRegisteredCheck + r, form.rows[r].registered);
  }
}

void CSIPGateway::ToggleRegistration(int row) {
  Exchange exchange;
  GatewayForm form = pages_.ToggleRegistration(row, Form(), exchange);
  Fill(form);
  if (!exchange.ok) FocusControl(Window(), exchange.focus);
}

void CSIPGateway::OpenHelp() {
  if (!OpenHelpTopic(Window(), ToWide(pages_.HelpFile()), kRechargeHelpTopic)) {
    pages_.ShowToolkitMessage("Failed to launch help.");
  }
}

}  // namespace talvenor::view
