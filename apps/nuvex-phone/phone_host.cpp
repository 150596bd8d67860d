#include "apps/nuvex-phone/phone_host.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "apps/nuvex-phone/phone_calls.h"
#include "apps/nuvex-phone/phone_output.h"
#include "apps/nuvex-phone/platform/editor_process.h"
#include "apps/nuvex-phone/platform/file_system.h"
#include "apps/nuvex-phone/platform/standard_streams.h"
#include "host/ccon.h"

namespace nuvex {

namespace {
std::mutex dataMutex;
std::string dataDirectory = ".";
std::atomic<bool> closing{false};
std::thread::id commandThread;
}  // namespace

void SetDataDirectory(const std::string& folder) {
  std::scoped_lock lock(dataMutex);
  dataDirectory = folder;
}

std::string DataDirectory() {
  std::scoped_lock lock(dataMutex);
  return dataDirectory;
}

void SetCommandThread() { commandThread = std::this_thread::get_id(); }

void SetClosing(bool value) { closing = value; }

}  // namespace nuvex

CString CCon::AddSystemPath(const CString& name, const CString& extension) {
  std::scoped_lock lock(nuvex::dataMutex);
  return nuvex::dataDirectory + "/" + name + extension;
}

void CCon::OnOpenTextFile(const CString& name, const CString& header) {
  CString path = AddSystemPath(name, ".txt");
  // A new list starts with its column titles. Lists hold passwords and
  // addresses: only the user may read them.
  nuvex::NewFile created = nuvex::CreatePrivateFile(path, header);
  if (created == nuvex::NewFile::NotWritten) {
    std::fprintf(stderr, "nuvex-phone: cannot write %s\n", path.c_str());
  } else if (created == nuvex::NewFile::NotCreated) {
    std::fprintf(stderr, "nuvex-phone: cannot create %s\n", path.c_str());
  }
  // At a terminal, the user's editor shows it; otherwise its path. Only
  // the thread that reads commands hands the terminal over: a list opened
  // from the options sheet would have the editor and the prompt share it.
  std::string editor = nuvex::UserEditor();
  bool commanded = std::this_thread::get_id() == nuvex::commandThread;
  if (commanded && nuvex::StandardInputIsTerminal() && !editor.empty()) {
    nuvex::RunEditor(editor, path);
    return;
  }
  nuvex::Event(-1, "List " + name + ": " + path);
}

BOOL CCon::IsClose() { return nuvex::closing ? 1 : 0; }

void CCon::OnClose() { nuvex::RefusedOffer(); }

CCon* CCon::OnIncomingCall(CCom* module, int line, int, const CString& caller, const CString&,
                           const CString& displayName, const CString&, const CString&) {
  return nuvex::OfferedCall(module, line, caller, displayName);
}
