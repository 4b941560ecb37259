#include "calendar.h"
#include "pal/datetime.h"

BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime) {
    auto ticks = lpSystemTime ? pal::calendar::TicksFromFields(*lpSystemTime) : std::nullopt;
    if (!ticks || !lpFileTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpFileTime = pal::calendar::FromTicks(*ticks);
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime) {
    if (!lpFileTime || !lpSystemTime || (lpFileTime->dwHighDateTime & 0x80000000)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpSystemTime = pal::calendar::FieldsFromTicks(pal::calendar::ToTicks(*lpFileTime));
    return TRUE;
}

LONG CompareFileTime(const FILETIME* lpFileTime1, const FILETIME* lpFileTime2) {
    const auto first = pal::calendar::ToTicks(*lpFileTime1);
    const auto second = pal::calendar::ToTicks(*lpFileTime2);
    return first < second ? -1 : first > second ? 1 : 0;
}
