#include "variant_time.h"

#include <cmath>

#include "calendar.h"

namespace pal::variant_time {

namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;
// 1899-12-30, day 0 of DATE, counted in days from 1601-01-01.
constexpr std::int64_t kDateEpoch = 109205;

bool YearInRange(WORD year) { return year >= 100 && year <= 9999; }

}  // namespace

std::optional<DATE> FromFields(const SYSTEMTIME& time) {
    if (!YearInRange(time.wYear) || !calendar::FieldsValid(time)) return std::nullopt;
    const auto days = static_cast<double>(calendar::EpochDays(time) - kDateEpoch);
    const double fraction =
        static_cast<double>(time.wHour * 3600 + time.wMinute * 60 + time.wSecond) / kSecondsPerDay;
    return days >= 0 ? days + fraction : days - fraction;
}

}  // namespace pal::variant_time

INT VariantTimeToSystemTime(DOUBLE vtime, LPSYSTEMTIME lpSystemTime) {
    using namespace pal;
    if (!lpSystemTime || !(vtime > -657435.0 && vtime < 2958466.0)) return FALSE;
    const double whole = std::trunc(vtime);
    const auto seconds = static_cast<std::int64_t>(whole) * variant_time::kSecondsPerDay +
                         std::llround(std::fabs(vtime - whole) * variant_time::kSecondsPerDay);
    const std::int64_t day = seconds >= 0 ? seconds / variant_time::kSecondsPerDay
                                          : -((-seconds - 1) / variant_time::kSecondsPerDay) - 1;
    const std::int64_t secondOfDay = seconds - day * variant_time::kSecondsPerDay;
    SYSTEMTIME fields = calendar::FromEpochDays(day + variant_time::kDateEpoch,
                                                secondOfDay * calendar::kTicksPerSecond);
    if (!variant_time::YearInRange(fields.wYear)) return FALSE;
    *lpSystemTime = fields;
    return TRUE;
}

INT SystemTimeToVariantTime(LPSYSTEMTIME lpSystemTime, DOUBLE* pvtime) {
    if (!lpSystemTime || !pvtime) return FALSE;
    auto date = pal::variant_time::FromFields(*lpSystemTime);
    if (!date) return FALSE;
    *pvtime = *date;
    return TRUE;
}
