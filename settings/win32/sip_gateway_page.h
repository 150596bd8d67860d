// The "Gateways" page: three gateway accounts, one of them selected for
// outgoing calls, each with its registration box.
#pragma once

#include "settings/win32/options_page_view.h"

namespace talvenor::view {

class CSIPGateway final : public OptionsPageView {
public:
  explicit CSIPGateway(OptionsPages& pages);

protected:
  void Prepare() override;
  void Load() override;
  Exchange Store() override;
  void Activated() override;
  bool Command(int id, int code) override;
  bool Timer(UINT_PTR id) override;

private:
  GatewayForm Form() const;
  void Fill(const GatewayForm& form);
  void ToggleRegistration(int row);
  // The R boxes as the accounts stand now: a gateway may refuse or drop a
  // registration while the sheet is open. The other fields are the user's.
  void ShowRegistrations();
  void OpenHelp();
};

}  // namespace talvenor::view
