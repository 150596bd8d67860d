#include "sip/sip_message.h"

#include <cstring>

#include "sip/char_set.h"
#include "sip/header_names.h"
#include "sip/tokens.h"

namespace talvenor {
namespace {

constexpr CharSet kLineEnds("\r\n");
constexpr std::string_view kSipVersion = "SIP/2.0";
// A status code stands after "SIP/2.0" and one blank.
constexpr size_t kStatusCodeOffset = kSipVersion.size() + 1;

size_t CountLines(std::string_view text) {
  size_t count = 0;
  bool inLine = false;
  for (char c : text) {
    bool lineEnd = kLineEnds.Contains(c);
    count += (!lineEnd && !inLine) ? 1 : 0;
    inLine = !lineEnd;
  }
  return count;
}

// Every maximal stretch of characters other than CR and LF is one line, so
// "A\r\n\r\nB", "A\nB" and "A\r\rB" all give the two lines A and B.
void SplitLines(std::string_view text, std::vector<std::string_view>& lines) {
  size_t start = kLineEnds.Find(text, 0, false);
  while (start < text.size()) {
    size_t end = kLineEnds.Find(text, start, true);
    lines.push_back(text.substr(start, end - start));
    start = kLineEnds.Find(text, end, false);
  }
}

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// 'f: <sip:a@h>' and 'F :<sip:a@h>' are lines of the header whose compact
// form is "f": the letter, blanks, then the colon.
bool IsCompactLine(std::string_view line, char letter) {
  if (line.size() < 2 || (line[0] | 0x20) != letter) return false;
  size_t at = 1;
  while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  return at < line.size() && line[at] == ':';
}

// RFC 3261 7.3.1: a header line that the next one continues (that one
// starts with a blank) becomes one line: the line end in between turns into
// blanks, in place. The start line is never continued, and the body, after
// the first empty line, is left as it is. Only LF and CR LF line ends fold.
void UnfoldHeaderLines(char* text, size_t size) {
  char* end = text + size;
  char* lineFeed = static_cast<char*>(std::memchr(text, '\n', size));
  bool startLine = true;
  while (lineFeed != nullptr && lineFeed + 1 < end) {
    char* next = lineFeed + 1;
    if (IsLineEnd(*next)) return;  // the empty line before the body
    if (!startLine && (*next == ' ' || *next == '\t')) {
      *lineFeed = ' ';
      if (lineFeed[-1] == '\r') lineFeed[-1] = ' ';
    }
    startLine = false;
    lineFeed = static_cast<char*>(std::memchr(next, '\n', static_cast<size_t>(end - next)));
  }
}

}  // namespace

SipMessage::SipMessage(std::string_view text, uint32_t sourceAddress, uint16_t sourcePort)
    : sourceAddress_(sourceAddress), sourcePort_(sourcePort) {
  text = text.substr(0, text.find('\0'));
  if (text.empty()) {
    return;
  }
  text_ = std::make_unique_for_overwrite<char[]>(text.size());
  std::memcpy(text_.get(), text.data(), text.size());
  UnfoldHeaderLines(text_.get(), text.size());
  textSize_ = text.size();
  std::string_view owned(text_.get(), text.size());
  lines_.reserve(CountLines(owned));
  SplitLines(owned, lines_);
}

SipKind ClassifyStartLine(std::string_view startLine) {
  if (startLine.find(kSipVersion) == std::string_view::npos) {
    return kNoKind;
  }
  // Rows are tried in table order and each accepts its text at either
  // offset: 'ACK sip:INVITE@h SIP/2.0' is an INVITE by this rule.
  for (size_t row = 0; row < kKindCount; ++row) {
    size_t at = startLine.find(KindTable[row].text);
    if (at == 0 || at == kStatusCodeOffset) {
      return static_cast<SipKind>(row);
    }
  }
  return kNoKind;
}

SipKind SipMessage::Kind() const {
  if (kind_ == kNoKind && !lines_.empty()) {
    kind_ = ClassifyStartLine(lines_.front());
  }
  return kind_;
}

std::string_view SipMessage::FindLine(std::string_view name) const {
  std::string_view compact = CompactFormOf(name);
  for (std::string_view line : lines_) {
    if (StartsWithIgnoreCase(line, name) || (!compact.empty() && IsCompactLine(line, compact.front()))) {
      return line;
    }
  }
  return {};
}

std::string_view SipMessage::LineAt(size_t index) const {
  return index < lines_.size() ? lines_[index] : std::string_view{};
}

}  // namespace talvenor
