// The host's abstract communication interface, implemented by the module.
// The slot order is the host's vtable layout: do not reorder, and add no
// virtual destructor (it would take slots of its own).
#pragma once

#include "host/host_types.h"

class CCon;

class CCom {
public:
  // Slot 0: shows the modal "SIP Options" sheet; true if closed with OK.
  // While one is open, closes it and returns false.
  virtual BOOL ShowOptions() = 0;
  // Slot 1: stops the module; settings are written to the profile here.
  virtual void Shutdown() = 0;
  // Slot 2: places a call; the line index, or -1 when no line is free.
  virtual int PlaceCall(CCon* connection, int callMode, const CString& destination,
                        const CString& userId, const CString& displayName,
                        const CString& fourth) = 0;
  // Slot 3: ends the call on the line; an empty line is ignored.
  virtual void HangUp(int line) = 0;
  // Slot 4: code 0 accepts an incoming call, any other code declines with it.
  virtual void Answer(int line, int code, int unused1, int unused2) = 0;
  // Slot 5: one block handed over by OnAudioReceived has been played.
  virtual void ReleaseFrame(int line, int unused) = 0;
  // Slot 6: encodes and sends one block of 16-bit samples.
  virtual void SendAudio(int line, const short* samples, int byteCount, int unused) = 0;
  // Slot 7: destroys the call object and frees the line.
  virtual void ReleaseLine(int line, int unused) = 0;

protected:
  ~CCom() = default;
};
