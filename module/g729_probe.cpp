#include "module/g729_probe.h"

#include "config/module_settings.h"
#include "media/g729_library.h"

namespace talvenor {

bool ProbeG729Library(const std::vector<std::string>& candidates) {
  Settings().G729Available = 0;
  G729Load result = LoadG729Library(candidates);
  Settings().G729Available = result == G729Load::Usable ? 1 : 0;
  return result != G729Load::Missing;
}

void WithdrawG729Library() {
  Settings().G729Available = 0;
  FreeG729Library();
}

}  // namespace talvenor
