// The SIP-REG list of live registrations and the SIP-PIN list of passwords,
// both located through the host at every use.
//
// SIP-REG, one registration a line, TAB-separated:
//   user@address:port  PIN  RegTime  Expires  DateTime  Name  User-Agent
// The second field says how the registration was taken: "AUTH" when it
// passed digest authentication, "PIN" when it did not (the registrar was not
// authenticating). Anything else, such as the "PIN" of every line of a list
// older than the field's meaning, reads as not authenticated.
// SIP-PIN: user id TAB password.
//
// A line's lifetime counts only up to `lifetimeCap`, the registrar's
// DefaultExpiration as it stands at the call: lowering the setting shortens
// the registrations already taken.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace talvenor {

// The second field of a SIP-REG line.
inline constexpr std::string_view kAuthenticatedMark = "AUTH";
inline constexpr std::string_view kUnauthenticatedMark = "PIN";

// Rewrites SIP-REG: drops the sender's previous registration (first field
// equal to `key`, ignoring case), empty lines and expired lines of every
// user, then appends `line` unless `expires` is 0. The new list is written
// in full to the ".bak" file and renamed over the list in one step, so a
// failure leaves the old list whole; a list that could not be read in full
// is not rewritten at all. New files get mode 0600. False when the
// registration could not be recorded.
bool UpdateRegistrationList(std::string_view key, std::string_view line, int64_t now, uint32_t expires,
                            uint32_t lifetimeCap);

// Looks up a registered user: the last live line whose key begins with the
// user id and the separator ('\0' for none), ignoring case. Returns its Expires
// field (1 when the line has none), 0 when nothing matched; on a match
// `user` becomes the stored key in lower case.
uint32_t FindRegistrationByUser(std::string& user, char separator, uint32_t lifetimeCap);

// True when a live registration of this user (ignoring case) from exactly
// this "address:port" passed digest authentication. An expired or
// unauthenticated registration trusts nobody, nor does one under another
// user's name.
bool AuthenticatedRegistrationFrom(std::string_view user, std::string_view addressAndPort, uint32_t lifetimeCap);

// A line with a fourth field whose lifetime, capped, has run out.
bool RegistrationExpired(std::string_view line, int64_t now, uint32_t lifetimeCap);

// Where SIP-REG and the ".bak" of its rewrites are, asked of the host.
std::string RegistrationListPath();
std::string RegistrationBackupPath();

// Writes these lines as the whole list: to the ".bak" file, made durable,
// then renamed over the list in one step, so that a failure or a kill at
// any moment leaves the old list or the new one, whole. False on failure
// (the ".bak" removed, the list as it was). The paths are found through the
// host beforehand, by a thread that may call it.
struct RegistrationListPaths {
  std::string list;
  std::string backup;
};
bool ReplaceRegistrationList(const std::vector<std::string>& lines, const RegistrationListPaths& paths);

// Writes each line over the list's bytes at its offset (a refresh whose
// line kept its length) or past its end (a new registration), then makes
// the list durable. Each line goes to the system in one write, so a kill
// leaves every line whole, the old one or the new. False on failure: the
// list may then hold some of the lines.
struct ListLineAt {
  int64_t offset = 0;
  std::string line;
};
bool WriteRegistrationLinesAt(const std::vector<ListLineAt>& lines, const std::string& listPath);

// The password of the user id in SIP-PIN (first match ignoring case), or
// empty. The list's column-title line is not an account.
std::string LookupPassword(std::string_view userId);

}  // namespace talvenor
