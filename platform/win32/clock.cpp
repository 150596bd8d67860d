#include "platform/clock.h"

#include <windows.h>

#include <array>
#include <ctime>

namespace talvenor {

// GetTickCount counts milliseconds since the system started and wraps at
// 2^32, as timeGetTime does.
uint32_t TickMilliseconds() { return static_cast<uint32_t>(GetTickCount()); }

int64_t CalendarSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

std::string LocalDateText(int64_t calendarSeconds) {
  time_t seconds = static_cast<time_t>(calendarSeconds);
  tm local{};
  if (localtime_s(&local, &seconds) != 0) return {};
  std::array<char, 128> text{};
  size_t length = std::strftime(text.data(), text.size(), "%c", &local);
  return std::string(text.data(), length);
}

}  // namespace talvenor
