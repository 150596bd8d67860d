// The "SIP Register" page: the registrar the module keeps for its callers,
// with the registrations and PIN lists.
#pragma once

#include "settings/win32/options_page_view.h"

namespace talvenor::view {

class CSIPRegister final : public OptionsPageView {
public:
  explicit CSIPRegister(OptionsPages& pages);

protected:
  void Load() override;
  Exchange Store() override;
  bool Command(int id, int code) override;

private:
  // From the boxes as ticked now; a disabled box keeps its tick.
  void UpdateEnables();
};

}  // namespace talvenor::view
