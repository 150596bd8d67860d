// The host's CCon statics in the Windows DLL. A DLL cannot leave them to be
// bound at load time as a Linux module does, and naming the host's
// executable would tie the module to one host, so each static here calls the
// function of the same C++ name that the running executable exports. A host
// that exports none of them still gets a working module: its lists go next
// to it, and an incoming call without a connection object is refused.
#include "host/ccon.h"
#include "platform/shared_library.h"

namespace {

using AddSystemPathFunction = CString (*)(const CString&, const CString&);
using OnOpenTextFileFunction = void (*)(const CString&, const CString&);
using IsCloseFunction = BOOL (*)();
using OnCloseFunction = void (*)();
using OnIncomingCallFunction = CCon* (*)(CCom*, int, int, const CString&, const CString&, const CString&,
                                         const CString&, const CString&);

// The names MinGW-w64's GCC gives the statics, the same for both
// architectures (the Itanium C++ ABI, std::string of the C++11 library ABI).
struct HostStatics {
  AddSystemPathFunction addSystemPath = Find<AddSystemPathFunction>(
      "_ZN4CCon13AddSystemPathERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES7_");
  OnOpenTextFileFunction onOpenTextFile = Find<OnOpenTextFileFunction>(
      "_ZN4CCon14OnOpenTextFileERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES7_");
  IsCloseFunction isClose = Find<IsCloseFunction>("_ZN4CCon7IsCloseEv");
  OnCloseFunction onClose = Find<OnCloseFunction>("_ZN4CCon7OnCloseEv");
  OnIncomingCallFunction onIncomingCall = Find<OnIncomingCallFunction>(
      "_ZN4CCon14OnIncomingCallEP4CComiiRKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES9_S9_S9_S9_");

  template <typename Function>
  static Function Find(const char* name) {
    return reinterpret_cast<Function>(talvenor::ExecutableSymbol(name));
  }
};

// Looked up once, at the module's first use of any of them.
const HostStatics& Host() {
  static const HostStatics statics;
  return statics;
}

}  // namespace

CString CCon::AddSystemPath(const CString& name, const CString& extension) {
  if (Host().addSystemPath != nullptr) return Host().addSystemPath(name, extension);
  return talvenor::ExecutableDirectory() + "\\" + name + extension;
}

void CCon::OnOpenTextFile(const CString& name, const CString& header) {
  if (Host().onOpenTextFile != nullptr) Host().onOpenTextFile(name, header);
}

BOOL CCon::IsClose() { return Host().isClose != nullptr ? Host().isClose() : 0; }

void CCon::OnClose() {
  if (Host().onClose != nullptr) Host().onClose();
}

CCon* CCon::OnIncomingCall(CCom* module, int line, int callMode, const CString& caller, const CString& source,
                           const CString& displayName, const CString& extra1, const CString& extra2) {
  if (Host().onIncomingCall == nullptr) return nullptr;
  return Host().onIncomingCall(module, line, callMode, caller, source, displayName, extra1, extra2);
}
