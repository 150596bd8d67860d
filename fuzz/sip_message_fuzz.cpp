// Arbitrary datagrams through the whole read and answer path of a message:
// construction, classification, every extraction, the SDP reading, both composers, and the
// module's dispatch (registrar, gateway accounts and the dialog matching of
// call lines included) with its sends captured instead of put on the wire.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calls/call_line.h"
#include "config/module_settings.h"
#include "module/sip_module.h"
#include "platform/message_box.h"
#include "platform/resolver.h"
#include "registration/gateway_accounts.h"
#include "sip/compose.h"
#include "sip/object_tag.h"
#include "sip/sdp.h"
#include "sip/sip_message.h"
#include "sip/tokens.h"
#include "tests/support/every_recipe.h"
#include "tests/support/test_helpers.h"
#include "tests/support/test_host.h"

namespace {

// The receive thread never hands over more than this.
constexpr size_t kLargestDatagram = 1500;

// Every recipe, failing loudly (for the fuzzer) when a value it cuts out is
// not part of a line.
void ReadEverything(const talvenor::SipMessage& message) {
  using namespace talvenor;
  SipKind kind = message.Kind();
  if (kind != kNoKind && !IsKnownKind(kind)) __builtin_trap();
  int64_t numbers = 0;
  for (std::string_view view : testhelp::ReadWithEveryRecipe(message, numbers)) {
    if (!testhelp::InsideALine(view, message)) __builtin_trap();
  }
  volatile int64_t sink = numbers;
  (void)sink;
}

// The peer's SDP, read with every type enabled: a chosen type is always one
// of 0 to 18 and a port never 0.
void ReadSdp(const talvenor::SipMessage& message) {
  using namespace talvenor;
  PayloadTypeFlags all{};
  all.fill(true);
  if (std::optional<SdpMedia> media = ParseSdp(message, all)) {
    if (media->payloadType >= kNamedPayloadTypes || media->peer.port == 0 || media->peer.address == 0) {
      __builtin_trap();
    }
  }
}

void ComposeAnswers(const talvenor::SipMessage& message) {
  using namespace talvenor;
  SipKind answer = IsStatusKind(message.Kind()) ? message.Kind() : kStatus405;
  std::string response = ComposeStatelessResponse(answer, message, "\r\nAllow: INVITE");
  if (SipMessage(response, 0, 0).Kind() != answer) {
    __builtin_trap();
  }
  std::string ack = ComposeRequestFromMessage(kAck, message);
  if (!ack.starts_with("ACK sip:")) {
    __builtin_trap();
  }
}

// Every composed datagram must itself read as a message of a known kind.
void CheckSent(std::string_view text, const talvenor::Ipv4Endpoint&) {
  if (text.size() < 4 || talvenor::SipMessage(text, 0, 0).Kind() == talvenor::kNoKind) {
    __builtin_trap();
  }
}

// An incoming call's line with a known tag, which the fuzzer can find
// through comparisons, waiting for the answer to its BYE. A message it takes
// must name what only the two ends of a call know: the line's tag, or the
// caller's INVITE branch.
class WatchedLine final : public talvenor::CallLine {
public:
  WatchedLine() : CallLine(talvenor::TheModule(), talvenor::CallParameters{}) {
    SetInviteTransaction("1", "z9hG4bKfuzz", 1);
    SetPendingRequest(talvenor::kBye);
  }
  void HandleInDialog(const talvenor::SipMessage& message) override {
    for (size_t index = 0; index < message.LineCount(); ++index) {
      std::string_view line = message.LineAt(index);
      if (line.find(std::to_string(Tag())) != line.npos || line.find("z9hG4bKfuzz") != line.npos) return;
    }
    __builtin_trap();
  }
  void Tick() override {}
};

std::shared_ptr<WatchedLine> watchedLine;

void PrepareModule() {
  using namespace talvenor;
  // The registrar's lists go to a folder of the fuzzer's own, removed at exit.
  static testhelp::TempDir lists;
  testhost::SetDataDirectory(lists.Path());
  SetMessageBackend([](int, const std::string&, MessageIcon) {});
  // No network here: names in SDP and settings resolve to nothing, at once.
  SetHostLookup([](const std::string&) -> uint32_t { return 0; });
  TheModule().CaptureSends(CheckSent);
  Settings().EnableRegistrations = 1;
  Settings().LocalAddress.Set("127.0.0.1");
  // Accounts waiting for the answer to "CSeq: 1 REGISTER" of "Call-ID: x",
  // so that fuzzed responses reach their handlers.
  for (int index = 0; index < kGatewayCount; ++index) {
    TheModule().Gateways().Create(index, GatewayFields{true, "127.0.0.1:5070", "", "", "alice", "secret"});
    GatewayAccount* account = TheModule().Gateways()[index].get();
    account->callIdLine = "Call-ID: x";
    account->cseqLine = "CSeq: 1 REGISTER";
  }
  ObjectTag::SetNextValueForTesting(4242);
  watchedLine = std::make_shared<WatchedLine>();
  TheModule().AttachLine(0, watchedLine);
}

// `choice` (the input's size) picks the registrar's mode and whether the
// watched line has the message's own Call-ID.
void Dispatch(const talvenor::SipMessage& message, size_t choice) {
  using namespace talvenor;
  Settings().AuthenticateRegistrations = (choice & 1) != 0 ? 1 : 0;
  for (auto& account : TheModule().Gateways()) account->attemptsLeft = 6;
  std::string callIdLine = (choice & 2) != 0 ? std::string(message.FindLine("Call-ID")) : std::string();
  watchedLine->Dialog().Update([&](DialogState& dialog) {
    dialog.lines = DialogLines{};
    dialog.lines.callIdLine = callIdLine;
  });
  TheModule().Dispatch(message);
}

// The test host records every call of its statics, which nothing here reads
// and which would only grow; the connections it handed out stay alive, on the
// heap until the end, since their call lines keep them.
void ForgetHostCalls() {
  static auto* handedOut = new std::vector<std::shared_ptr<testhost::RecordingConnection>>;
  for (auto& connection : testhost::Connections()) handedOut->push_back(connection);
  testhost::Reset();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  PrepareModule();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kLargestDatagram) {
    return -1;
  }
  std::string_view text(reinterpret_cast<const char*>(data), size);
  talvenor::SipMessage message(text, 0x0100007f, 0xc413);
  ReadEverything(message);
  ReadSdp(message);
  ComposeAnswers(message);
  Dispatch(message, size);
  ForgetHostCalls();
  // The same cutting is used on other texts (settings, list files).
  volatile int32_t value = talvenor::DecimalValue(talvenor::NthToken(text, ":, ;\t", 1));
  (void)value;
  return 0;
}
