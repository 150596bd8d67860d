// The checks a settings page makes while it takes its fields back, with the
// dialog toolkit's standard messages. The first refusal stops the page; its
// message is shown when the page asks, after any lock is released.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/options_pages.h"

namespace talvenor {

inline constexpr uint32_t kShortestExpiration = 60;
inline constexpr uint32_t kLongestExpiration = 64800;
inline constexpr uint32_t kHighestRtpBasePort = 65400;

// What a display name may not hold: it goes between the quotes of the From
// and To lines, where a quote would end it and a backslash escape the next
// character.
inline constexpr std::string_view kDisplayNameRefusedCharacters = "\"\\";

// The text with every space and TAB removed.
std::string WithoutBlanks(std::string_view text);
// The text without the characters a display name may not hold.
std::string WithoutDisplayNameQuotes(std::string_view text);

class FieldChecks {
public:
  // At most `limit` characters (0: any length).
  bool Length(std::string_view text, int limit, int control);
  // A gateway field: at most `limit` characters, no comma (the stored
  // accounts use it between their fields) and no quote (it would end a
  // quoted value of the Authorization line).
  bool GatewayText(std::string_view text, int limit, int control);
  // The display name: at most `limit` characters, no quote and no backslash.
  bool DisplayNameText(std::string_view text, int limit, int control);
  // The decimal number in `text`, blanks around it allowed, from `lowest`
  // to `highest`.
  std::optional<uint32_t> Integer(std::string_view text, uint32_t lowest, uint32_t highest, int control);

  bool Passed() const { return result_.ok; }
  // Shows the first refusal's message, if any, and tells where the page stopped.
  Exchange ShowRefusal() const;

private:
  bool Refuse(int control, int messageId, std::string text);

  Exchange result_;
  int messageId_ = 0;  // a module message, or 0 for the toolkit's text
  std::string text_;
};

}  // namespace talvenor
