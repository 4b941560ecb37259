// Dates for tests: a FILETIME from its calendar fields, and the 64-bit count it holds.
#pragma once

#include <windows.h>

#include <cstdint>

namespace pal_testing {

// The FILETIME of a date and time of day (no time zone is applied); zero for an invalid date.
inline FILETIME FileTimeOf(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0) {
    SYSTEMTIME fields = {};
    fields.wYear = year;
    fields.wMonth = month;
    fields.wDay = day;
    fields.wHour = hour;
    fields.wMinute = minute;
    FILETIME time = {};
    SystemTimeToFileTime(&fields, &time);
    return time;
}

// The 100-nanosecond count a FILETIME holds.
inline std::uint64_t Ticks(FILETIME time) {
    return static_cast<std::uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

}  // namespace pal_testing
