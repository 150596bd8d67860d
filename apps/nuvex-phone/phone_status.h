// `status`: where the phone is reached, its codecs, its gateway accounts,
// the registrar's list and the calls, as far as the phone can know them
// from the profile, the module's socket and the lists.
#pragma once

namespace nuvex {

void ShowStatus();

}  // namespace nuvex
