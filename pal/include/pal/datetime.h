// Time: system and local time, FILETIME arithmetic, variant dates, counters. Every call reads
// the current machine's clock (frozen and offset clocks included) and its time-zone bias
// (UTC = local time + bias).
#pragma once

#include "pal/errors.h"
#include "pal/types.h"

// An OLE automation date: days since 1899-12-30 00:00, the time of day as the fraction. Before
// that day the integer part counts days back and the fraction still counts time forward.
using DATE = double;

// Parsing flags of VarDateFromStr.
#define VAR_TIMEVALUEONLY 0x00000001
#define VAR_DATEVALUEONLY 0x00000002

// The machine's clock as UTC calendar fields, day of week included.
void GetSystemTime(LPSYSTEMTIME lpSystemTime);
// The machine's clock in its local time (UTC minus the time-zone bias).
void GetLocalTime(LPSYSTEMTIME lpSystemTime);
// The machine's clock in 100 ns units since 1601-01-01 UTC.
void GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime);
// Calendar fields → FILETIME (wDayOfWeek ignored); FALSE with ERROR_INVALID_PARAMETER when a
// field is out of range (month 1-12, a day the month has, 23:59:59.999 at most, year 1601-30827).
BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime);
// FILETIME → calendar fields with the day of week; FALSE with ERROR_INVALID_PARAMETER for a
// value with the top bit set.
BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime);
// -1, 0 or 1 as the first time is earlier than, equal to or later than the second.
LONG CompareFileTime(const FILETIME* lpFileTime1, const FILETIME* lpFileTime2);
// The machine's clock as a FILETIME; S_OK.
HRESULT CoFileTimeNow(FILETIME* lpFileTime);

// The machine's uptime counter in 100 ns units: monotonic, advancing with the machine's clock
// (standing while it is frozen, never stepping back when it is set back). Always TRUE.
BOOL QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount);
// 10,000,000 counts per second. Always TRUE.
BOOL QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency);
// Milliseconds of the same uptime counter, wrapping at 2^32.
DWORD GetTickCount();

// Parses a date and/or time text in local calendar fields: "YYYY/MM/DD", "YYYY-MM-DD", and, with
// the year last, the locale's order of day and month ("MM/DD/YYYY" in en-US, a "month" above 12
// taken as the day), each optionally followed by a blank and "HH:MM" or "HH:MM:SS", or a time
// alone (on 1899-12-30); separators "/", "-" or "."; surrounding blanks ignored. VAR_DATEVALUEONLY
// drops the time, VAR_TIMEVALUEONLY the date. DISP_E_TYPEMISMATCH for text that is not a valid
// date, E_INVALIDARG for null arguments or an unknown locale. Other flags are ignored.
HRESULT VarDateFromStr(LPCOLESTR strIn, LCID lcid, ULONG dwFlags, DATE* pdateOut);
// DATE → calendar fields with the day of week, rounded to the nearest second (wMilliseconds is
// 0); FALSE outside years 100-9999.
INT VariantTimeToSystemTime(DOUBLE vtime, LPSYSTEMTIME lpSystemTime);
// Calendar fields → DATE to the second (wMilliseconds and wDayOfWeek ignored); FALSE when a
// field is out of range or the year is outside 100-9999.
INT SystemTimeToVariantTime(LPSYSTEMTIME lpSystemTime, DOUBLE* pvtime);
