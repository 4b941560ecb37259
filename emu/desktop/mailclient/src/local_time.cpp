// The received times of messages: desktop local time as "YYYY-MM-DDTHH:MM:SS".
#include <chrono>
#include <cstdio>

#include "emu/mailclient/mail_client.h"
#include "pal/runtime/machine.h"

namespace emu::mailclient {

namespace {

// 100 ns units between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kUnixEpochFileTime = 116444736000000000LL;

std::string Format(int year, unsigned month, unsigned day, int hour, int minute, int second) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d", year, month, day, hour,
                  minute, second);
    return text;
}

}  // namespace

std::string LocalNow(pal::Machine& machine) {
    using namespace std::chrono;
    std::int64_t utc = static_cast<std::int64_t>(machine.NowUtc());
    std::int64_t local = utc - std::int64_t{machine.Config().timeZoneBias} * 60 * 10000000;
    auto seconds = sys_seconds(duration_cast<std::chrono::seconds>(
        duration<std::int64_t, std::ratio<1, 10000000>>(local - kUnixEpochFileTime)));
    auto day = floor<days>(seconds);
    year_month_day date(day);
    hh_mm_ss time(seconds - day);
    return Format(static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
}

std::optional<std::string> NormalizeReceived(std::string_view text) {
    int year = 0, hour = 0, minute = 0, second = 0;
    unsigned month = 0, day = 0;
    auto digits = [&](size_t at, size_t count, auto& out) {
        if (at + count > text.size()) return false;
        int value = 0;
        for (size_t i = at; i < at + count; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            value = value * 10 + (text[i] - '0');
        }
        out = static_cast<std::remove_reference_t<decltype(out)>>(value);
        return true;
    };
    if (!digits(0, 4, year) || text.size() < 10 || text[4] != '-' || !digits(5, 2, month) ||
        text[7] != '-' || !digits(8, 2, day))
        return std::nullopt;
    if (text.size() > 10) {
        if ((text[10] != 'T' && text[10] != ' ') || !digits(11, 2, hour) || text.size() < 16 ||
            text[13] != ':' || !digits(14, 2, minute))
            return std::nullopt;
        if (text.size() > 16 && (text.size() != 19 || text[16] != ':' || !digits(17, 2, second)))
            return std::nullopt;
    }
    std::chrono::year_month_day date{std::chrono::year(year), std::chrono::month(month),
                                     std::chrono::day(day)};
    if (year < 1601 || !date.ok() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    return Format(year, month, day, hour, minute, second);
}

}  // namespace emu::mailclient
