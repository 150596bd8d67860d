#include "apps/nuvex-phone/terminal_text.h"

namespace nuvex {

namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`, 0 when
// there is none (a stray continuation byte, an overlong or surrogate form, a
// sequence cut short).
size_t Utf8SequenceLength(std::string_view text) {
  auto byte = [&](size_t index) { return static_cast<unsigned char>(text[index]); };
  unsigned char lead = byte(0);
  size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead <= 0xDF ? 2 : 0;
  if (length == 0 || text.size() < length) return 0;
  for (size_t index = 1; index < length; ++index) {
    if ((byte(index) & 0xC0) != 0x80) return 0;
  }
  unsigned char second = byte(1);
  if (lead == 0xE0 && second < 0xA0) return 0;  // overlong
  if (lead == 0xED && second > 0x9F) return 0;  // surrogate
  if (lead == 0xF0 && second < 0x90) return 0;  // overlong
  if (lead == 0xF4 && second > 0x8F) return 0;  // beyond U+10FFFF
  return length;
}

}  // namespace

std::string PrintableText(std::string_view text) {
  std::string printable;
  printable.reserve(text.size());
  while (!text.empty()) {
    auto lead = static_cast<unsigned char>(text.front());
    if (lead < 0x80) {
      printable += lead < 0x20 || lead == 0x7F ? '?' : static_cast<char>(lead);
      text.remove_prefix(1);
      continue;
    }
    size_t length = Utf8SequenceLength(text);
    // U+0080 to U+009F, the C1 controls (CSI among them), are C2 80 to C2 9F.
    bool c1 = length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0;
    if (length == 0 || c1) {
      printable += '?';
      text.remove_prefix(length == 0 ? 1 : length);
    } else {
      printable.append(text.substr(0, length));
      text.remove_prefix(length);
    }
  }
  return printable;
}

}  // namespace nuvex
