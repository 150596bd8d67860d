#include "platform/clock.h"

#include <time.h>

#include <array>

namespace talvenor {

uint32_t TickMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t milliseconds = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(milliseconds);
}

int64_t CalendarSeconds() { return static_cast<int64_t>(time(nullptr)); }

std::string LocalDateText(int64_t calendarSeconds) {
  time_t seconds = static_cast<time_t>(calendarSeconds);
  tm local{};
  if (localtime_r(&seconds, &local) == nullptr) return {};
  std::array<char, 128> text{};
  size_t length = strftime(text.data(), text.size(), "%c", &local);
  return std::string(text.data(), length);
}

}  // namespace talvenor
