#include "settings/field_checks.h"

#include <fmt/format.h>

#include "platform/message_box.h"

namespace talvenor {

namespace {

// Characters as the user sees them: UTF-8 continuation bytes do not count.
size_t CharacterCount(std::string_view text) {
  size_t count = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++count;
  }
  return count;
}

}  // namespace

std::string WithoutBlanks(std::string_view text) {
  std::string clean;
  for (char c : text) {
    if (c != ' ' && c != '\t') clean += c;
  }
  return clean;
}

std::string WithoutDisplayNameQuotes(std::string_view text) {
  std::string clean;
  for (char c : text) {
    if (kDisplayNameRefusedCharacters.find(c) == std::string_view::npos) clean += c;
  }
  return clean;
}

bool FieldChecks::Refuse(int control, int messageId, std::string text) {
  result_ = {false, control};
  messageId_ = messageId;
  text_ = std::move(text);
  return false;
}

bool FieldChecks::Length(std::string_view text, int limit, int control) {
  if (!Passed()) return false;
  if (limit <= 0 || CharacterCount(text) <= static_cast<size_t>(limit)) return true;
  return Refuse(control, 0, fmt::format("Please enter no more than {} characters.", limit));
}

bool FieldChecks::GatewayText(std::string_view text, int limit, int control) {
  if (!Length(text, limit, control)) return false;
  if (text.find_first_of(",\"") == std::string_view::npos) return true;
  return Refuse(control, kGatewayCommaMessage, {});
}

bool FieldChecks::DisplayNameText(std::string_view text, int limit, int control) {
  if (!Length(text, limit, control)) return false;
  if (text.find_first_of(kDisplayNameRefusedCharacters) == std::string_view::npos) return true;
  return Refuse(control, kDisplayNameQuoteMessage, {});
}

std::optional<uint32_t> FieldChecks::Integer(std::string_view text, uint32_t lowest, uint32_t highest,
                                             int control) {
  if (!Passed()) return std::nullopt;
  size_t first = text.find_first_not_of(" \t");
  size_t last = text.find_last_not_of(" \t");
  std::string_view digits = first == std::string_view::npos ? std::string_view() : text.substr(first, last - first + 1);
  bool numeric = !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
  if (!numeric) {
    Refuse(control, 0, "Please enter an integer.");
    return std::nullopt;
  }
  uint64_t value = 0;
  for (char c : digits) {
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > highest) break;  // and no overflow however long the text
  }
  if (value < lowest || value > highest) {
    Refuse(control, 0, fmt::format("Please enter an integer between {} and {}.", lowest, highest));
    return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

Exchange FieldChecks::ShowRefusal() const {
  if (!result_.ok) {
    if (messageId_ != 0) {
      ShowMessage(messageId_, MessageIcon::Warning);
    } else {
      ShowToolkitMessage(text_);
    }
  }
  return result_;
}

}  // namespace talvenor
