// The host's static functions for the fuzzer: the lists live in a private
// temporary folder, and nothing is shown to anyone.
#include <cstdlib>
#include <string>

#include "host/ccon.h"

namespace {
const std::string& DataFolder() {
  static const std::string folder = [] {
    std::string pattern = "/tmp/talvenor-fuzz-XXXXXX";
    return std::string(mkdtemp(pattern.data()) != nullptr ? pattern.c_str() : "/tmp");
  }();
  return folder;
}
}  // namespace

CString CCon::AddSystemPath(const CString& name, const CString& extension) {
  return DataFolder() + "/" + name + extension;
}
void CCon::OnOpenTextFile(const CString&, const CString&) {}
BOOL CCon::IsClose() { return 0; }
void CCon::OnClose() {}
CCon* CCon::OnIncomingCall(CCom*, int, int, const CString&, const CString&, const CString&, const CString&,
                           const CString&) {
  static struct Silent final : CCon {
    void OnConnected(int, int) override {}
    void OnDisconnected(int) override {}
    void OnAudioSent() override {}
    void OnAudioReceived(const short*, int, int) override {}
    void OnCallInfo(const CString&) override {}
  } connection;
  return &connection;
}
