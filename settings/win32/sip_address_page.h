// The "SIP Address" page: the module's address and port, display name, and
// the log and ban lists.
#pragma once

#include "settings/win32/options_page_view.h"

namespace talvenor::view {

class CSIPAddress final : public OptionsPageView {
public:
  explicit CSIPAddress(OptionsPages& pages);

protected:
  void Prepare() override;
  void Load() override;
  Exchange Store() override;
  bool Command(int id, int code) override;

private:
  void RefillAddressList();
  void UpdateListButtons();
};

}  // namespace talvenor::view
