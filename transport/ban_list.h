// The SIP-BAN list: tab-separated lines of an address or address prefix and
// the date it was banned. Read anew for every datagram, so the user's edits
// count from the next one.
#pragma once

#include <string>
#include <string_view>

namespace talvenor {

// The date text of the first entry that matches the dotted source address
// (an entry ending in "." matches when it occurs anywhere in the address,
// any other entry when it equals the address), or empty when none matches.
// A matching entry without a date still ends the search, banning nothing.
// A list that cannot be opened matches nothing.
std::string BanListMark(const std::string& path, std::string_view dottedSource);

// Appends "address<TAB>date" to the list (made with mode 0600 when new);
// false unless the line reached the file.
bool AppendBanEntry(const std::string& path, std::string_view dottedSource, std::string_view dateText);

}  // namespace talvenor
