// Every recipe of sip/recipes.h read out of one message, for the checks that
// run all of them over datagrams of any shape (the test data, the fuzzer).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "sip/recipes.h"

namespace testhelp {

// The values the recipes cut out of the message, each of which must be empty
// or lie within one of its lines; the numbers, counts and matches the others
// give are added up into `numbers`.
inline std::vector<std::string_view> ReadWithEveryRecipe(const talvenor::SipMessage& message, int64_t& numbers) {
  using namespace talvenor;
  std::string_view mediaLine = SdpMediaLine(message);
  std::string_view from = message.FindLine("From");
  numbers = int64_t{CseqNumber(message)} + MinExpires(message) + RegistrationExpiry(message) + SdpMediaPort(message) +
            static_cast<int64_t>(SdpPayloadTypes(message).size() + JoinedHeaderLines(message, "Route").size() +
                                 AddressEntries(HeaderLines(message, "Record-Route")).size()) +
            RegistrationResponseMatches(message, "Call-ID: x", "CSeq: 1 REGISTER") +
            CallIdMatches(message.FindLine("Call-ID"), "Call-ID: x");
  std::vector<std::string_view> views = HeaderLines(message, "Via", "v");
  views.insert(views.end(),
               {CseqMethod(message), HeaderParameter(from, "tag"), FromTag(message), ToTag(message),
                TopViaBranch(message), AddressUri(message.FindLine("Contact")), ContactUri(message),
                RequiredExtensions(message), RegistrationExpiryText(message),
                QuotedParameter(message.FindLine("Authorization"), "nonce"),
                QuotedParameter(message.FindLine("WWW-Authenticate"), "realm"), SdpConnectionAddress(message),
                mediaLine, SdpPayloadTypeToken(mediaLine, 0), StatelessAckTarget(message), RemoteTarget(message),
                CallerUser(message), CalledUserAndHost(message), DisplayNameToken(from), CallerDisplayName(message),
                RegistrationDisplayName(message), RegistrationUser(message), UserAgentText(message)});
  return views;
}

// True when view is empty or lies within one of the message's lines.
inline bool InsideALine(std::string_view view, const talvenor::SipMessage& message) {
  for (size_t i = 0; !view.empty() && i < message.LineCount(); ++i) {
    std::string_view line = message.LineAt(i);
    if (view.data() >= line.data() && view.data() + view.size() <= line.data() + line.size()) return true;
  }
  return view.empty();
}

}  // namespace testhelp
