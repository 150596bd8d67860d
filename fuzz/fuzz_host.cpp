// The host's static functions for the fuzzer: the lists live in a private
// temporary folder, and nothing is shown to anyone.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/fuzz_host.h"
#include "host/ccon.h"

namespace fuzzhost {
namespace {
// Kept on the heap: the folder is removed at exit, after static objects may be gone.
std::string* madeFolder = nullptr;
void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(*madeFolder, ignored);
}
}  // namespace

const std::string& DataFolder() {
  static const std::string folder = [] {
    std::string pattern = "/tmp/talvenor-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return std::string("/tmp");
    madeFolder = new std::string(pattern);
    std::atexit(RemoveFolder);
    return pattern;
  }();
  return folder;
}
}  // namespace fuzzhost

CString CCon::AddSystemPath(const CString& name, const CString& extension) {
  return fuzzhost::DataFolder() + "/" + name + extension;
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
