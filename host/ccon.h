// The host's connection class as the module sees it. The five static
// functions are defined by the host executable and resolve when the module
// is loaded; each call's connection object implements the five operations.
#pragma once

#include "host/host_types.h"

class CCom;

// Default visibility: the module is built with hidden symbols, and its
// references to the statics must still bind to the host's definitions.
class __attribute__((visibility("default"))) CCon {
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
