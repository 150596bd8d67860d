#include "sip/recipes.h"

#include "sip/header_names.h"
#include "sip/tokens.h"

namespace talvenor {

std::string_view CseqMethod(const SipMessage& message) {
  return NthToken(message.FindLine(kCseqHeader), ": ", 2);
}

int32_t CseqNumber(const SipMessage& message) {
  return DecimalValue(NthToken(message.FindLine(kCseqHeader), ": ", 1));
}

std::string_view RequiredExtensions(const SipMessage& message) {
  std::string_view required = message.FindLine(kRequireHeader);
  return required.empty() ? required : TrimWhitespace(required.substr(required.find(':') + 1));
}

int32_t MinExpires(const SipMessage& message) {
  return DecimalValue(NthToken(message.FindLine(kMinExpiresHeader), ": ", 1));
}

std::string_view RegistrationExpiryText(const SipMessage& message) {
  std::string_view contact = message.FindLine(kContactHeader);
  size_t at = contact.find(kExpiresName);
  if (at != std::string_view::npos) {
    return contact.substr(at);
  }
  return message.FindLine(kExpiresName);
}

int32_t RegistrationExpiry(const SipMessage& message) {
  return DecimalValue(NthToken(RegistrationExpiryText(message), ": =;", 1));
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

size_t SkipBlanks(std::string_view text, size_t at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at;
}

// The position of the comma that ends the parameter at `at` (or the end),
// not counting commas inside quotes.
size_t ParameterEnd(std::string_view text, size_t at) {
  bool quoted = false;
  for (; at < text.size(); ++at) {
    if (text[at] == '"') quoted = !quoted;
    else if (text[at] == ',' && !quoted) return at;
  }
  return text.size();
}

}  // namespace

std::string_view HeaderParameter(std::string_view line, std::string_view name) {
  size_t bracket = line.rfind('>');
  size_t at = bracket != std::string_view::npos ? bracket : line.find(':');
  if (at == std::string_view::npos) return {};
  line = line.substr(0, line.find(',', at));  // the first of several values
  while ((at = line.find(';', at)) != std::string_view::npos) {
    at = SkipBlanks(line, at + 1);
    if (!StartsWithIgnoreCase(line.substr(at), name)) continue;
    size_t equals = SkipBlanks(line, at + name.size());
    if (equals >= line.size() || line[equals] != '=') continue;
    size_t start = SkipBlanks(line, equals + 1);
    size_t end = line.find_first_of("; \t", start);
    return line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
  }
  return {};
}

std::vector<std::string_view> HeaderLines(const SipMessage& message, std::string_view name,
                                          std::string_view compactName) {
  if (compactName.empty()) compactName = CompactFormOf(name);
  std::vector<std::string_view> found;
  for (size_t index = 1; index < message.LineCount(); ++index) {
    std::string_view line = message.LineAt(index);
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view lineName = line.substr(0, colon);
    while (!lineName.empty() && IsBlank(lineName.back())) lineName.remove_suffix(1);
    if (EqualsIgnoreCase(lineName, name) || (!compactName.empty() && EqualsIgnoreCase(lineName, compactName))) {
      found.push_back(line);
    }
  }
  return found;
}

std::string JoinedHeaderLines(const SipMessage& message, std::string_view name, std::string_view compactName) {
  std::string joined;
  for (std::string_view line : HeaderLines(message, name, compactName)) {
    if (!joined.empty()) joined += "\r\n";
    joined += line;
  }
  return joined;
}

std::vector<std::string> AddressEntries(const std::vector<std::string_view>& lines) {
  std::vector<std::string> entries;
  for (std::string_view line : lines) {
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view value = line.substr(colon + 1);
    bool quoted = false, bracketed = false;
    size_t start = 0;
    for (size_t at = 0; at <= value.size(); ++at) {
      char c = at < value.size() ? value[at] : ',';
      if (c == '"') quoted = !quoted;
      else if (c == '<' && !quoted) bracketed = true;
      else if (c == '>' && !quoted) bracketed = false;
      if (c != ',' || quoted || bracketed) continue;
      std::string_view entry = TrimWhitespace(value.substr(start, at - start));
      if (!entry.empty()) entries.emplace_back(entry);
      start = at + 1;
    }
  }
  return entries;
}

std::string_view AddressUri(std::string_view entry) {
  size_t open = entry.find('<');
  if (open != std::string_view::npos) {
    size_t close = entry.find('>', open);
    return close == std::string_view::npos ? std::string_view{} : entry.substr(open + 1, close - open - 1);
  }
  entry = TrimWhitespace(entry);
  return entry.substr(0, entry.find_first_of("; \t"));
}

std::string_view ContactUri(const SipMessage& message) {
  std::string_view contact = message.FindLine(kContactHeader);
  size_t colon = contact.find(':');
  return colon == std::string_view::npos ? std::string_view{} : AddressUri(contact.substr(colon + 1));
}

std::string_view FromTag(const SipMessage& message) { return HeaderParameter(message.FindLine(kFromHeader), "tag"); }

std::string_view ToTag(const SipMessage& message) { return HeaderParameter(message.FindLine(kToHeader), "tag"); }

std::string_view TopViaBranch(const SipMessage& message) {
  return HeaderParameter(message.FindLine(kViaHeader), "branch");
}

std::string_view QuotedParameter(std::string_view line, std::string_view name) {
  constexpr std::string_view kScheme = "Digest";
  size_t colon = line.find(':');
  if (colon == std::string_view::npos || name.empty()) return {};
  size_t at = SkipBlanks(line, colon + 1);
  if (!StartsWithIgnoreCase(line.substr(at), kScheme)) return {};
  at += kScheme.size();
  if (at < line.size() && !IsBlank(line[at])) return {};  // "Digestive" is another scheme
  while (at < line.size()) {
    at = SkipBlanks(line, at);
    size_t end = ParameterEnd(line, at);
    std::string_view parameter = line.substr(at, end - at);
    size_t equals = parameter.find('=');
    if (equals != std::string_view::npos) {
      std::string_view parameterName = parameter.substr(0, equals);
      while (!parameterName.empty() && IsBlank(parameterName.back())) parameterName.remove_suffix(1);
      if (parameterName == name) {
        std::string_view value = parameter.substr(SkipBlanks(parameter, equals + 1));
        if (value.empty() || value.front() != '"') return {};
        size_t close = value.find('"', 1);
        return close == std::string_view::npos ? std::string_view{} : value.substr(1, close - 1);
      }
    }
    at = end + 1;
  }
  return {};
}

std::string_view SdpConnectionAddress(const SipMessage& message) {
  return NthToken(message.FindLine(kSdpConnectionPrefix), " ", 2);
}

std::string_view SdpMediaLine(const SipMessage& message) {
  return message.FindLine(kSdpAudioMediaPrefix);
}

int32_t SdpMediaPort(const SipMessage& message) {
  return DecimalValue(NthToken(SdpMediaLine(message), " ", 1));
}

// m=audio <port> <profile> <fmt> <fmt> ...: the formats start at token 3.
std::string_view SdpPayloadTypeToken(std::string_view mediaLine, int index) {
  constexpr int kFirstFormatToken = 3;
  return index < 0 ? std::string_view{} : NthToken(mediaLine, " ", kFirstFormatToken + index);
}

std::vector<int32_t> SdpPayloadTypes(const SipMessage& message) {
  std::string_view mediaLine = SdpMediaLine(message);
  std::vector<int32_t> types;
  for (int i = 0;; ++i) {
    std::string_view token = SdpPayloadTypeToken(mediaLine, i);
    if (token.empty()) {
      return types;
    }
    types.push_back(DecimalValue(token));
  }
}

std::string_view StatelessAckTarget(const SipMessage& message) {
  return NthToken(message.FindLine(kToHeader), ":>;", 2);
}

std::string_view RemoteTarget(const SipMessage& message) {
  return NthToken(message.FindLine(kContactHeader), "<: >", 2);
}

std::string_view CallerUser(const SipMessage& message) {
  return NthToken(message.FindLine(kFromHeader), ":@>", 2);
}

std::string_view CalledUserAndHost(const SipMessage& message) {
  return NthToken(message.LineAt(0), ": ", 2);
}

std::string_view DisplayNameToken(std::string_view line) {
  return NthToken(line, ": \"<", 1);
}

std::string_view CallerDisplayName(const SipMessage& message) {
  std::string_view name = DisplayNameToken(message.FindLine(kFromHeader));
  return EqualsIgnoreCase(name, "sip") ? std::string_view{} : name;
}

std::string_view RegistrationDisplayName(const SipMessage& message) {
  return DisplayNameToken(message.FindLine(kToHeader));
}

std::string_view RegistrationUser(const SipMessage& message) {
  std::string_view to = message.FindLine(kToHeader);
  size_t at = to.find("sip:");
  if (at == std::string_view::npos) {
    return {};
  }
  return NthToken(to.substr(at), ": @;>", 1);
}

std::string_view UserAgentText(const SipMessage& message) {
  return TrimWhitespace(NthToken(message.FindLine(kUserAgentHeader), ":", 1));
}

bool CallIdMatches(std::string_view key, std::string_view stored) { return !key.empty() && key == stored; }

bool RegistrationResponseMatches(const SipMessage& response, std::string_view callIdLine,
                                 std::string_view cseqLine) {
  return EqualsIgnoreCase(response.FindLine(kCallIdHeader), callIdLine) &&
         EqualsIgnoreCase(response.FindLine(kCseqHeader), cseqLine);
}

}  // namespace talvenor
