// The host's connection class as the module sees it. The five static
// functions are defined by the host executable; each call's connection
// object implements the five operations.
//
// On Linux the module's references to the statics bind to the host's
// definitions when the module is loaded. A Windows DLL cannot leave symbols
// undefined, so there the host exports them (it is built with NUVEX_HOST
// defined) and the module finds them in the executable when it starts.
#pragma once

#include "host/host_types.h"

#if defined(_WIN32) && defined(NUVEX_HOST)
#define NUVEX_CCON_API __declspec(dllexport)
#else
// Default visibility: the module is built with hidden symbols, and its
// references to the statics must still bind to the host's definitions.
#define NUVEX_CCON_API __attribute__((visibility("default")))
#endif

class CCom;

class NUVEX_CCON_API CCon {
public:
  // Full path of a list file in the host's data folder ("SIP-BAN", ".txt").
  static CString AddSystemPath(const CString& name, const CString& extension);
  // Shows a list file to the user; header is the column-title line of a new file.
  static void OnOpenTextFile(const CString& name, const CString& header);
  // Non-zero while the host is closing: new INVITEs are left unanswered.
  static BOOL IsClose();
  // Called after a new INVITE was refused with 488 (no free line, or an
  // offer the module cannot take).
  static void OnClose();
  // Offers an incoming call; returns the line's connection object, never null.
  static CCon* OnIncomingCall(CCom* module, int line, int callMode, const CString& caller,
                              const CString& source, const CString& displayName,
                              const CString& extra1, const CString& extra2);

  // Slot 0: the call is connected and audio flows.
  virtual void OnConnected(int unused1, int unused2) = 0;
  // Slot 1: the call ended with the given reason.
  virtual void OnDisconnected(int reason) = 0;
  // Slot 2: a SendAudio block was handled.
  virtual void OnAudioSent() = 0;
  // Slot 3: 320 samples (640 bytes) to play; at most 7 are left unreleased.
  virtual void OnAudioReceived(const short* samples, int byteCount, int unused) = 0;
  // Slot 4: a description of the remote party.
  virtual void OnCallInfo(const CString& text) = 0;

protected:
  ~CCon() = default;
};
