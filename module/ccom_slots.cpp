// The host's line operations. Call lines arrive with the call flows; until
// then no line ever exists, and a slot given a line that does not exist does
// nothing.
#include "module/no_throw.h"
#include "module/sip_module.h"
#include "settings/options_sheet.h"

namespace talvenor {

BOOL SipModule::ShowOptions() {
  return Guarded([] { return ShowOptionsSheetNotBuiltYet(); }, BOOL{0});
}

int SipModule::PlaceCall(CCon*, int, const CString&, const CString&, const CString&, const CString&) {
  return -1;  // no line can be taken before the call flows exist
}

void SipModule::HangUp(int) {}
void SipModule::Answer(int, int, int, int) {}
void SipModule::ReleaseFrame(int, int) {}
void SipModule::SendAudio(int, const short*, int, int) {}

void SipModule::ReleaseLine(int line, int) {
  Guarded([&] {
    if (line < 0 || line >= kMaxLines) return;
    std::scoped_lock order(PeerLookupLock());
    std::scoped_lock lock(moduleLock_);
    lines_[line].reset();
  });
}

}  // namespace talvenor
