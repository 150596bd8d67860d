// SipModule: the one communication object the host drives through CCom. It
// owns the SIP socket, the receive thread, the 888 ms timer, the call line
// slots and ModuleLock.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>
#include <thread>

#include "host/ccom.h"
#include "platform/endpoint.h"
#include "platform/periodic_timer.h"
#include "platform/udp_socket.h"

namespace talvenor {

class CallLine;
class SipMessage;

inline constexpr int kMaxLines = 4;

class SipModule final : public CCom {
public:
  BOOL ShowOptions() override;
  void Shutdown() override;
  int PlaceCall(CCon* connection, int callMode, const CString& destination, const CString& userId,
                const CString& displayName, const CString& fourth) override;
  void HangUp(int line) override;
  void Answer(int line, int code, int unused1, int unused2) override;
  void ReleaseFrame(int line, int unused) override;
  void SendAudio(int line, const short* samples, int byteCount, int unused) override;
  void ReleaseLine(int line, int unused) override;

  // The steps of CreateCom; null (after a message box) when start-up failed.
  CCom* Start();

  // Sends one datagram on the SIP socket; returns what sendto returned.
  long Send(std::span<const char> bytes, const Ipv4Endpoint& destination) const;
  long Send(std::string_view text, const Ipv4Endpoint& destination) const {
    return Send(std::span<const char>(text.data(), text.size()), destination);
  }

  // Hands every outgoing datagram to `capture` instead of the socket; for
  // driving dispatch without a network (the fuzzer). Set before any traffic.
  using SendCapture = std::function<void(std::string_view text, const Ipv4Endpoint& destination)>;
  void CaptureSends(SendCapture capture) { sendCapture_ = std::move(capture); }

  // One received datagram that passed the receive loop's checks: wraps it in
  // a message and dispatches it under ModuleLock.
  void HandleDatagram(std::string_view text, const Ipv4Endpoint& source);

  // Decides where one received message goes, under ModuleLock.
  void Dispatch(const SipMessage& message);
  // The line whose stored Call-ID line equals the key exactly, or null.
  // Runs under ModuleLock.
  CallLine* FindCallByCallId(std::string_view key) const;
  // A response built from the request's own lines, sent back to its source.
  void SendStatelessResponse(int kind, const SipMessage& request, std::string_view extraLines) const;
  // A request (CSeq 1) built from a response's lines, sent back to its source.
  void SendRequestFromMessage(int kind, const SipMessage& response) const;

  // Puts a call line into a slot (under ModuleLock); false when the index is
  // outside the first LineCount slots or the slot is taken.
  bool AttachLine(int index, std::shared_ptr<CallLine> line);

  // Called every 888 ms by the timer thread.
  void TimerProcedure();

  bool IsRunning() const { return running_ != 0; }
  std::recursive_mutex& ModuleLock() { return moduleLock_; }
  // The bound SIP endpoint (network order); port 0 while not started.
  Ipv4Endpoint SipEndpoint() const;
  bool ReceiveThreadRunning() const;
  const UdpSocket& Socket() const { return socket_; }

private:
  void Fail(int messageId);
  void ReceiveThreadProcedure();
  void StopReceiveThread();
  // Seams for the subsystems that come later; each does nothing until then.
  void TickCallLines();
  void NewInviteNotBuiltYet(const SipMessage& message);
  void SendDueRegisters();
  void OfferToGatewayAccounts(const SipMessage& response);

  std::atomic<int> running_{0};
  unsigned timerId_ = 0;
  UdpSocket socket_;
  std::thread receiveThread_;
  std::atomic<bool> receiveThreadActive_{false};
  int highestLine_ = 0;
  std::recursive_mutex moduleLock_;
  std::array<std::shared_ptr<CallLine>, kMaxLines> lines_;
  PeriodicTimer timer_;
  SendCapture sendCapture_;
  std::mutex lifecycleMutex_;  // Start and Shutdown never overlap
};

// The single module object, alive as long as the library.
SipModule& TheModule();
// Taken before ModuleLock where both are needed: reverse lookups and line release.
std::mutex& PeerLookupLock();

}  // namespace talvenor
