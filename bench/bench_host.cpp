// The host's static functions for the benchmark executable. The module
// leaves them to its host; the benchmarks never start the module, so none
// of them is ever called.
#include "host/ccon.h"

CString CCon::AddSystemPath(const CString& name, const CString& extension) {
  return "/tmp/" + name + extension;
}

void CCon::OnOpenTextFile(const CString&, const CString&) {}

BOOL CCon::IsClose() { return 1; }

void CCon::OnClose() {}

CCon* CCon::OnIncomingCall(CCom*, int, int, const CString&, const CString&, const CString&,
                           const CString&, const CString&) {
  return nullptr;
}
