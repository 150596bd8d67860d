// SipModule: the one communication object the host drives through CCom. It
// owns the SIP socket with its receive thread, the 888 ms timer, the call
// line slots, the gateway accounts and ModuleLock.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>

#include "calls/call_context.h"
#include "sip/sdp.h"
#include "host/ccom.h"
#include "platform/endpoint.h"
#include "module/settings_slices.h"
#include "module/sip_socket.h"
#include "platform/periodic_timer.h"
#include "module/guess_bans.h"
#include "registration/gateway_accounts.h"
#include "registration/guess_guard.h"
#include "registration/registration_book.h"
#include "transport/receive_loop.h"

namespace talvenor {

class CallLine;
class SipMessage;

inline constexpr int kMaxLines = 4;

class SipModule final : public CCom, public CallContext, public DatagramSink {
public:
  // Hands the gateway accounts to the options pages.
  SipModule();

  BOOL ShowOptions() override;
  void Shutdown() override;
  int PlaceCall(CCon* connection, int callMode, const CString& destination, const CString& userId,
                const CString& displayName, const CString& fourth) override;
  void HangUp(int line) override;
  void Answer(int line, int code, int unused1, int unused2) override;
  void ReleaseFrame(int line, int unused) override;
  void SendAudio(int line, const short* samples, int byteCount, int unused) override;
  void ReleaseLine(int line, int unused) override;

  // How many shutdowns have kept the library loaded for a thread of the
  // module that did not end in time.
  static int LibraryKeptLoadedCount();

  // The steps of CreateCom; null (after a message box) when start-up failed.
  // Works from any thread, inside a host callback included.
  CCom* Start();

  // Sends one datagram on the SIP socket; returns what sendto returned.
  long Send(std::span<const char> bytes, const Ipv4Endpoint& destination) const;
  long Send(std::string_view text, const Ipv4Endpoint& destination) const {
    return Send(std::span<const char>(text.data(), text.size()), destination);
  }

  // Hands every outgoing datagram to `capture` instead of the socket; for
  // driving dispatch without a network (the fuzzer). Set before any traffic.
  using SendCapture = SipSocket::SendCapture;
  void CaptureSends(SendCapture capture) { sipSocket_.CaptureSends(std::move(capture)); }

  // One received datagram that passed the receive loop's checks: wraps it in
  // a message and dispatches it under ModuleLock.
  void HandleDatagram(std::string_view text, const Ipv4Endpoint& source) override;
  bool Receiving() const override { return IsRunning(); }

  // Decides where one received message goes, under ModuleLock.
  void Dispatch(const SipMessage& message);
  // The line whose stored Call-ID line equals the key exactly, or null.
  // Runs under ModuleLock; the caller shares the line while it uses it.
  std::shared_ptr<CallLine> FindCallByCallId(std::string_view key) const;
  // A response built from the request's own lines, sent back to its source.
  // toTag: the tag a To without one gains (our line's, for a CANCEL of its
  // INVITE); empty for one worked out from the request.
  void SendStatelessResponse(int kind, const SipMessage& request, std::string_view extraLines,
                             std::string_view toTag = {}) const;
  // A request (CSeq 1) built from a response's lines, sent back to its source.
  void SendRequestFromMessage(int kind, const SipMessage& response) const;

  // Puts a call line into a slot (under ModuleLock); false when the index is
  // outside the first LineCount slots or the slot is taken.
  bool AttachLine(int index, std::shared_ptr<CallLine> line);
  // A new line in the lowest free slot below LineCount, made by `make` from
  // the slot's index, under ModuleLock; null when every slot is taken.
  using LineMaker = std::function<std::shared_ptr<CallLine>(int index)>;
  std::shared_ptr<CallLine> CreateLine(const LineMaker& make);
  // Whether an incoming call from this address (network order) is still
  // ringing; a gateway's address never counts, as a provider or PBX brings
  // every caller's call. Under ModuleLock.
  bool RingingFrom(uint32_t address);
  // Hangs up the first incoming call still ringing, so that the user's own
  // call gets a line strangers would otherwise hold: the caller hears 480
  // and the host its end. False when none was ringing.
  bool EndARingingCall();
  // The line in a slot, or null for an empty or out-of-range index; never
  // waits for ModuleLock.
  std::shared_ptr<CallLine> Line(int index);
  // The highest line index taken since the top lines were last freed.
  int HighestLine();
  // The payload types a new call may use, as the VoIP settings stand.
  static PayloadTypeFlags CallPayloadTypes();

  // What call lines, gateway accounts and the registrar need of the module.
  long SendSip(std::string_view text, const Ipv4Endpoint& destination) const override { return Send(text, destination); }
  bool G729Busy() const override;
  void SetG729Busy(bool busy) const override;
  std::recursive_mutex& LinesLock() const override { return moduleLock_; }
  bool LockLines(std::unique_lock<std::recursive_mutex>& lock) const override;
  void ReleaseOwnLine(const CallLine& line) override;
  OutgoingCallSettings SettingsForOutgoingCall() const override { return CurrentOutgoingCallSettings(); }
  GatewayAccounts& Gateways() const override { return gateways_; }
  uint32_t LongestRegistration() const override { return RegistrationLifetimeCap(); }
  RegistrationBook& Registrations() const override { return registrations_; }

  // Called every 888 ms by the timer thread.
  void TimerProcedure();

  bool IsRunning() const { return running_ != 0; }
  std::recursive_mutex& ModuleLock() { return moduleLock_; }
  // The bound SIP endpoint (network order); port 0 while not started.
  Ipv4Endpoint SipEndpoint() const;
  // The port everything the module sends names as its own (host order): the
  // one the socket is bound to, which a changed SipPort setting moves only
  // at the next start. The setting itself while the module is not started.
  uint16_t AdvertisedSipPort() const override;
  bool ReceiveThreadRunning() const;

private:
  enum class Life { Stopped, Starting, Running, Stopping };

  // Start-up steps; 0, or the message id of the step that failed (after
  // everything started so far was undone).
  int StartRun();
  int AbandonStart(int messageId);
  // The first shutdown step: hangs up every line and unregisters every
  // registered account, then gives the closing requests their repeats.
  // False when a line thread outlasted the wait (one stuck in a lookup).
  bool EndCalls();
  // Shutdown steps; false when the settings could not be saved.
  bool StopRun();
  // Waits until no other thread is starting or stopping the module; false
  // (without waiting) on a thread that a shutdown in progress waits for.
  bool AwaitSettledLife(std::unique_lock<std::mutex>& lock);
  void SetLife(Life life);
  // Takes ModuleLock unless the module stops meanwhile: a shutdown called by
  // a host that holds ModuleLock waits for the thread that asks.
  bool LockUnlessStopped(std::unique_lock<std::recursive_mutex>& lock);
  void TickCallLines();
  // A new incoming call, under ModuleLock from the dispatcher.
  void HandleNewInvite(const SipMessage& invite);
  bool InviteAuthenticated(const SipMessage& invite);
  void OfferToGatewayAccounts(const SipMessage& response);

  std::atomic<int> running_{0};
  // From the start of a shutdown until the next start: no new call begins,
  // and a line's thread gives up waiting for ModuleLock.
  std::atomic<bool> closing_{false};
  unsigned timerId_ = 0;
  SipSocket sipSocket_;
  int highestLine_ = 0;
  mutable std::recursive_mutex moduleLock_;
  // Guarded by ModuleLock. Never destroyed, like the module: the timer may
  // still tick while a host that skipped Shutdown exits.
  mutable GatewayAccounts gateways_{*this, moduleLock_, CurrentAccountSettings, SelectedGatewayIndex};
  // Guarded by ModuleLock: the password guessers held back or banned, for
  // the registrar and the INVITE check alike.
  GuessGuard guesses_{SteadyMilliseconds, BanGuessingSource};
  // The slots change under ModuleLock and this lock both; either is enough
  // to read them. The host's audio reaches its line with this one alone.
  mutable std::mutex slotsMutex_;
  std::array<std::shared_ptr<CallLine>, kMaxLines> lines_;
  // The registrar's bindings, with the default limits. Its writer runs
  // while the module does and ends after the receive thread.
  mutable RegistrationBook registrations_;
  PeriodicTimer timer_;
  std::mutex lifeMutex_;
  std::condition_variable lifeChanged_;
  Life life_ = Life::Stopped;
};

// The single module object, alive as long as the library.
SipModule& TheModule();

}  // namespace talvenor
