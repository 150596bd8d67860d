// The host's line operations. A slot given an empty or out-of-range line
// does nothing, and no exception reaches the host.
#include <algorithm>

#include "calls/call_line.h"
#include "calls/incoming_call.h"
#include "calls/line_threads.h"
#include "calls/outgoing_call.h"
#include "module/no_throw.h"
#include "module/settings_slices.h"
#include "module/sip_module.h"
#include "settings/options_sheet.h"

namespace talvenor {

BOOL SipModule::ShowOptions() {
  return Guarded([] { return BOOL{ShowOptionsSheet() ? 1 : 0}; }, BOOL{0});
}

int SipModule::PlaceCall(CCon* connection, int callMode, const CString& destination, const CString& userId,
                         const CString& displayName, const CString& fourth) {
  return Guarded(
      [&] {
        // A call the host could not be told about, or one a shutdown under
        // way would not end.
        if (connection == nullptr || closing_) return -1;
        PayloadTypeFlags enabled = CallPayloadTypes();
        LineMaker make = [&](int index) {
          CallParameters parameters{index, connection, callMode, destination, userId, displayName, fourth, enabled};
          return std::make_shared<CallLine>(*this, parameters);
        };
        std::shared_ptr<CallLine> line = CreateLine(make);
        // Calls nobody has answered never keep the user from calling out: one
        // of them ends, and a host that releases its line at the end (as
        // hosts do inside OnDisconnected) hands it to this call.
        if (!line && EndARingingCall()) line = CreateLine(make);
        if (!line) return -1;
        if (!StartLineThread(line, RunOutgoingCall)) {
          ReleaseLine(line->LineIndex(), 0);
          return -1;
        }
        return line->LineIndex();
      },
      -1);
}

void SipModule::HangUp(int line) {
  Guarded([&] {
    std::scoped_lock lock(moduleLock_);
    if (std::shared_ptr<CallLine> call = Line(line)) call->HangUp();
  });
}

void SipModule::Answer(int line, int reason, int, int) {
  Guarded([&] {
    MediaSettings media = CurrentMediaSettings();  // name lookups before the lock
    std::scoped_lock lock(moduleLock_);
    if (std::shared_ptr<CallLine> call = Line(line)) AnswerCall(call, reason, media);
  });
}

void SipModule::ReleaseFrame(int line, int) {
  // Without ModuleLock, as SendAudio: audio never waits for SIP work.
  Guarded([&] {
    if (std::shared_ptr<CallLine> call = Line(line)) call->ReleaseFrame();
  });
}

void SipModule::SendAudio(int line, const short* samples, int byteCount, int) {
  // The host's audio thread: the line is reached through the slots' own
  // lock, never ModuleLock, and the media has a lock of its own.
  Guarded([&] {
    std::shared_ptr<CallLine> call = Line(line);
    if (!call) return;
    std::shared_ptr<MediaHandle> media = call->MediaState().handle.Snapshot();
    // The count travels as 16 bits, as the host's frames always fit; a
    // negative one is no audio, never a huge read of the host's buffer.
    size_t count = byteCount > 0 ? static_cast<uint16_t>(std::min(byteCount, 0xFFFF)) / 2 : 0;
    if (media) {
      media->SendAudio(*call, samples, count, false);
    } else if (!call->Finished()) {
      // No media yet: the frame is taken all the same, for a host that paces on it.
      call->CallHost([](CCon& connection) { connection.OnAudioSent(); }, CallLine::HostThread::Host);
    }
  });
}

void SipModule::ReleaseLine(int line, int) {
  // ModuleLock and, briefly, the slots' lock: the host may release a line
  // from inside OnDisconnected while ModuleLock is held, and the threads
  // still working for the line share it, so nothing more is needed to keep
  // it alive for them.
  Guarded([&] {
    if (line < 0 || line >= kMaxLines) return;
    std::shared_ptr<CallLine> released;  // goes after the locks, with whatever it holds
    std::scoped_lock lock(moduleLock_);
    {
      std::scoped_lock slots(slotsMutex_);
      released = std::move(lines_[line]);
    }
    while (highestLine_ > 0 && !lines_[highestLine_]) --highestLine_;
  });
}

}  // namespace talvenor
