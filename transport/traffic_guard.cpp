#include "transport/traffic_guard.h"

#include "host/ccon.h"
#include "platform/clock.h"
#include "transport/ban_list.h"
#include "transport/message_log.h"

namespace talvenor {

namespace {
constexpr const char* kBanned = "BANNED";
}  // namespace

void BanSender(const TrafficGuardSettings& settings, std::string_view datagram, const Ipv4Endpoint& source) {
  if (!settings.banEnabled) return;
  std::string banPath = CCon::AddSystemPath("SIP-BAN", ".txt");
  std::string dotted = DottedAddress(source.address);
  if (!BanListMark(banPath, dotted).empty()) return;
  std::string dateText = LocalDateText(CalendarSeconds());
  if (!AppendBanEntry(banPath, dotted, dateText) || !settings.logEnabled) return;
  AppendLogRecord(CCon::AddSystemPath("SIP-LOG", ".txt"), dateText, dotted, HostPort(source.port), kBanned, datagram);
}

std::string TrafficGuard::Screen(std::string_view datagram, const Ipv4Endpoint& source) {
  auto [banEnabled, logEnabled] = settings_();
  if (!banEnabled && !logEnabled) return {};

  // The arrival time is taken once, before the ban check; its text is made
  // only when a list line needs it.
  int64_t arrival = CalendarSeconds();
  auto dateText = [arrival] { return LocalDateText(arrival); };
  std::string dotted = DottedAddress(source.address);
  std::string mark;
  if (banEnabled) {
    std::string banPath = CCon::AddSystemPath("SIP-BAN", ".txt");
    mark = BanListMark(banPath, dotted);
    if (mark.empty() && flood_.Count(source.address, TickMilliseconds()) &&
        AppendBanEntry(banPath, dotted, dateText())) {
      mark = kBanned;
    }
  }
  if (logEnabled && (mark.empty() || mark == kBanned)) {
    AppendLogRecord(CCon::AddSystemPath("SIP-LOG", ".txt"), dateText(), dotted, HostPort(source.port), mark,
                    datagram);
  }
  return mark;
}

}  // namespace talvenor
