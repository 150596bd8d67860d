// The registrar with real list files: each input gives the SIP-REG and
// SIP-PIN lists as they stand and a few REGISTER datagrams, which go through
// the module's receive path (HandleDatagram, the dispatch, the registrar)
// with registrations on and, when the input says so, authentication.
//
// Input: one flags byte, then parts separated by 0xFF (a byte no UTF-8 text
// holds): the SIP-REG text, the SIP-PIN text, then up to eight datagrams.
//   flags bit 0: AuthenticateRegistrations on
//   flags bit 1: SIP-REG.txt exists (holding the first text; absent otherwise)
//   flags bit 2: SIP-PIN.txt exists (holding the second text)
// Datagram i comes from 127.0.0.1, port 5062 + i % 3. In a datagram "\x01N"
// becomes the nonce the registrar expects of it and then "\x01R" the right
// digest response for its Authorization line (the password from SIP-PIN), so
// that authenticated registrations get through.
//
// After every datagram: exactly one response, sent back to the source; a 200
// that grants a binding finds it as a whole line of the list, one that ends a
// binding finds it gone; a list the registrar wrote is whole lines; no
// ".bak" is left behind.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "config/module_settings.h"
#include "module/sip_module.h"
#include "platform/endpoint.h"
#include "platform/message_box.h"
#include "platform/resolver.h"
#include "registration/digest.h"
#include "registration/list_file.h"
#include "registration/registration_list.h"
#include "sip/header_names.h"
#include "sip/recipes.h"
#include "sip/sip_message.h"
#include "sip/tokens.h"
#include "tests/support/test_helpers.h"
#include "tests/support/test_host.h"
#include "transport/receive_loop.h"

namespace {

using namespace talvenor;

constexpr uint8_t kSeparator = 0xFF;
constexpr size_t kMostDatagrams = 8;
constexpr uint32_t kSourceAddress = 0x0100007f;  // 127.0.0.1, network order
constexpr std::string_view kNoncePlaceholder = "\x01N";
constexpr std::string_view kResponsePlaceholder = "\x01R";

// The folder of the lists: the fuzzer's own, removed at exit.
const testhelp::TempDir& Lists() {
  static testhelp::TempDir folder;
  return folder;
}
std::string ListPath() { return Lists().File("SIP-REG.txt"); }
std::string BackupPath() { return Lists().File("SIP-REG.bak"); }
std::string PasswordPath() { return Lists().File("SIP-PIN.txt"); }

std::optional<std::string> ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteWhole(const std::string& path, std::string_view text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!file) __builtin_trap();  // the folder is the fuzzer's own: a write must work
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// The client's side of the digest: the nonce the registrar will expect of
// this datagram, then the response its Authorization line needs.
std::string Answered(std::string text, const Ipv4Endpoint& source) {
  if (text.find('\x01') == std::string::npos) return text;
  {
    SipMessage request(text, source.address, source.port);
    ReplaceAll(text, kNoncePlaceholder, MakeNonce(request));
  }
  SipMessage request(text, source.address, source.port);
  std::string_view authorization = request.FindLine(kAuthorizationHeader);
  std::string_view user = QuotedParameter(authorization, "username");
  std::string response =
      DigestResponse(user, QuotedParameter(authorization, "realm"), LookupPassword(user), "REGISTER",
                     QuotedParameter(authorization, "uri"), QuotedParameter(authorization, "nonce"));
  ReplaceAll(text, kResponsePlaceholder, response);
  return text;
}

struct Sent {
  std::string text;
  Ipv4Endpoint destination;
};
std::vector<Sent>& SentDatagrams() {
  static std::vector<Sent> sent;
  return sent;
}

// A binding named by a response's Contact: "Contact: <sip:KEY>;expires=N".
struct Binding {
  std::string key;
  uint32_t lifetime = 0;
};
std::optional<Binding> ContactBinding(const SipMessage& response) {
  std::string_view contact = response.FindLine(kContactHeader);
  constexpr std::string_view kOpen = "<sip:";
  constexpr std::string_view kClose = ">;expires=";
  size_t open = contact.find(kOpen);
  if (open == std::string_view::npos) return std::nullopt;
  size_t close = contact.rfind(kClose);
  if (close == std::string_view::npos || close < open + kOpen.size()) __builtin_trap();  // not as composed
  std::string_view key = contact.substr(open + kOpen.size(), close - open - kOpen.size());
  return Binding{std::string(key), ListNumber(contact.substr(close + kClose.size()))};
}

// The list's lines whose first field is the key, ignoring case.
std::vector<std::string> LinesOf(const std::string& list, std::string_view key) {
  std::vector<std::string> found;
  std::istringstream lines(list);
  for (std::string line; std::getline(lines, line);) {
    if (EqualsIgnoreCase(ListField(line, 0), key)) found.push_back(line);
  }
  return found;
}

void CheckAnswer(const SipMessage& request, const std::optional<std::string>& listBefore) {
  std::vector<Sent>& sent = SentDatagrams();
  // Exactly one response, back to where the request came from.
  if (sent.size() != 1) __builtin_trap();
  if (sent[0].destination.address != request.SourceAddress() || sent[0].destination.port != request.SourcePort()) {
    __builtin_trap();
  }
  SipMessage response(sent[0].text, 0, 0);
  SipKind kind = response.Kind();
  if (kind != kStatus200 && kind != kStatus400 && kind != kStatus401 && kind != kStatus403 && kind != kStatus404 &&
      kind != kStatus423 && kind != kStatus500) {
    __builtin_trap();
  }
  std::optional<std::string> list = ReadWhole(ListPath());
  // The rewrite goes through the ".bak" file, which never stays.
  if (ReadWhole(BackupPath())) __builtin_trap();
  // A list the registrar has written is whole lines.
  if (list && list != listBefore && !list->empty() && list->back() != '\n') __builtin_trap();
  if (kind != kStatus200) return;
  std::optional<Binding> binding = ContactBinding(response);
  if (!binding) return;  // a query for a user with no binding
  std::vector<std::string> lines = LinesOf(list.value_or(""), binding->key);
  if (binding->lifetime == 0) {
    // An unregistration: the sender's line is gone.
    if (!request.FindLine(kContactHeader).empty() && !lines.empty()) __builtin_trap();
    return;
  }
  // A binding granted or found: its line is in the list, with that lifetime.
  bool found = false;
  for (const std::string& line : lines) {
    std::string_view expires = ListField(line, 3);
    found = found || (expires.empty() ? binding->lifetime == 1 : ListNumber(expires) == binding->lifetime);
  }
  if (!found) __builtin_trap();
}

void PrepareModule() {
  testhost::SetDataDirectory(Lists().Path());
  SetMessageBackend([](int, const std::string&, MessageIcon) {});
  SetHostLookup([](const std::string&) -> uint32_t { return 0; });
  TheModule().CaptureSends([](std::string_view text, const Ipv4Endpoint& destination) {
    SentDatagrams().push_back({std::string(text), destination});
  });
  Settings().EnableRegistrations = 1;
  Settings().LocalAddress.Set("127.0.0.1");
}

std::vector<std::string_view> Parts(std::string_view input) {
  std::vector<std::string_view> parts;
  for (;;) {
    size_t end = input.find(static_cast<char>(kSeparator));
    parts.push_back(input.substr(0, end));
    if (end == std::string_view::npos) return parts;
    input.remove_prefix(end + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  PrepareModule();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return -1;
  uint8_t flags = data[0];
  std::vector<std::string_view> parts = Parts(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  if (parts.size() < 3) return -1;  // no datagram
  if (parts.size() > 2 + kMostDatagrams) parts.resize(2 + kMostDatagrams);

  // The test host's record of the statics called would only grow.
  testhost::Reset();
  // The lists as the input has them, nothing left of the input before.
  std::remove(ListPath().c_str());
  std::remove(BackupPath().c_str());
  std::remove(PasswordPath().c_str());
  if (flags & 2) WriteWhole(ListPath(), parts[0]);
  if (flags & 4) WriteWhole(PasswordPath(), parts[1]);
  Settings().AuthenticateRegistrations = (flags & 1) ? 1 : 0;

  for (size_t index = 2; index < parts.size(); ++index) {
    Ipv4Endpoint source{kSourceAddress, NetworkPort(static_cast<uint16_t>(5062 + (index - 2) % 3))};
    std::string text = Answered(std::string(parts[index]), source);
    // As the receive loop hands it over: within its buffer, with a NUL after it.
    if (!DatagramScreen::LengthAccepted(text.size())) continue;
    SipMessage request(text, source.address, source.port);
    if (request.Kind() != kRegister) continue;  // the message fuzzer covers the other kinds
    std::optional<std::string> listBefore = ReadWhole(ListPath());
    SentDatagrams().clear();
    TheModule().HandleDatagram(std::string_view(text.c_str(), text.size()), source);
    CheckAnswer(request, listBefore);
  }
  return 0;
}
