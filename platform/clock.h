// Time as the module reads it.
#pragma once

#include <cstdint>
#include <string>

namespace talvenor {

// Milliseconds since an arbitrary start, wrapping at 2^32 like timeGetTime.
uint32_t TickMilliseconds();
// Calendar seconds since 1970.
int64_t CalendarSeconds();
// The local date and time in the locale's "%c" form, at most 127 characters;
// empty when formatting fails.
std::string LocalDateText(int64_t calendarSeconds);

}  // namespace talvenor
