#include <optional>
#include <utility>

#include "../system/locales.h"
#include "pal/datetime.h"
#include "variant_time.h"

namespace {

// A cursor over the text with the few lexical steps a date needs.
class Scanner {
public:
    explicit Scanner(LPCOLESTR text) : m_at(text) {}
    void SkipBlanks() {
        while (*m_at == u' ' || *m_at == u'\t') ++m_at;
    }
    bool AtEnd() const { return *m_at == 0; }
    char16_t Peek() const { return *m_at; }
    // An unsigned number of minDigits to maxDigits digits.
    std::optional<unsigned> Number(int minDigits, int maxDigits) {
        unsigned value = 0;
        int digits = 0;
        while (*m_at >= u'0' && *m_at <= u'9' && digits < maxDigits) {
            value = value * 10 + static_cast<unsigned>(*m_at++ - u'0');
            ++digits;
        }
        if (digits < minDigits || (*m_at >= u'0' && *m_at <= u'9')) return std::nullopt;
        return value;
    }
    bool Take(char16_t c) {
        if (*m_at != c) return false;
        ++m_at;
        return true;
    }
    // Counts the digits ahead without consuming them.
    int DigitsAhead() const {
        int count = 0;
        while (m_at[count] >= u'0' && m_at[count] <= u'9') ++count;
        return count;
    }

private:
    LPCOLESTR m_at;
};

bool IsDateSeparator(char16_t c) { return c == u'/' || c == u'-' || c == u'.'; }

// "Y/M/D" with a four-digit year first, or "a/b/YYYY" in the locale's order of day and month.
bool ParseDate(Scanner& in, pal::DateOrder order, SYSTEMTIME& out) {
    const bool yearFirst = in.DigitsAhead() == 4;
    auto first = in.Number(1, yearFirst ? 4 : 2);
    const char16_t separator = in.Peek();
    if (!first || !IsDateSeparator(separator) || !in.Take(separator)) return false;
    auto second = in.Number(1, 2);
    if (!second || !in.Take(separator)) return false;
    auto third = yearFirst ? in.Number(1, 2) : in.Number(4, 4);
    if (!third) return false;
    unsigned year = *first, month = *second, day = *third;
    if (!yearFirst) {
        year = *third;
        month = order == pal::DateOrder::DayMonthYear ? *second : *first;
        day = order == pal::DateOrder::DayMonthYear ? *first : *second;
        // A "month" above 12 can only be the day: the two were given the other way round.
        if (month > 12 && day <= 12) std::swap(month, day);
    }
    out.wYear = static_cast<WORD>(year);
    out.wMonth = static_cast<WORD>(month);
    out.wDay = static_cast<WORD>(day);
    return true;
}

// "H:MM" or "H:MM:SS".
bool ParseTime(Scanner& in, SYSTEMTIME& out) {
    auto hour = in.Number(1, 2);
    if (!hour || !in.Take(u':')) return false;
    auto minute = in.Number(2, 2);
    if (!minute) return false;
    std::optional<unsigned> second = 0u;
    if (in.Take(u':')) second = in.Number(2, 2);
    if (!second) return false;
    out.wHour = static_cast<WORD>(*hour);
    out.wMinute = static_cast<WORD>(*minute);
    out.wSecond = static_cast<WORD>(*second);
    return true;
}

// The calendar fields of the text; date and time each default to 1899-12-30 and midnight.
std::optional<SYSTEMTIME> ParseDateText(LPCOLESTR text, pal::DateOrder order) {
    SYSTEMTIME fields{};
    fields.wYear = 1899, fields.wMonth = 12, fields.wDay = 30;
    Scanner in(text);
    in.SkipBlanks();
    const int digits = in.DigitsAhead();
    if (digits == 0) return std::nullopt;
    Scanner probe = in;
    probe.Number(1, digits);
    const bool timeOnly = probe.Peek() == u':';
    if (!timeOnly) {
        if (!ParseDate(in, order, fields)) return std::nullopt;
        const bool blank = in.Peek() == u' ' || in.Peek() == u'\t';
        in.SkipBlanks();
        if (!in.AtEnd() && (!blank || !ParseTime(in, fields))) return std::nullopt;
    } else if (!ParseTime(in, fields)) {
        return std::nullopt;
    }
    in.SkipBlanks();
    if (!in.AtEnd()) return std::nullopt;
    return fields;
}

}  // namespace

HRESULT VarDateFromStr(LPCOLESTR strIn, LCID lcid, ULONG dwFlags, DATE* pdateOut) {
    if (!strIn || !pdateOut) return E_INVALIDARG;
    const pal::LocaleInfo* locale = pal::FindLocale(lcid);
    if (!locale) return E_INVALIDARG;
    auto fields = ParseDateText(strIn, locale->dateOrder);
    if (!fields) return DISP_E_TYPEMISMATCH;
    if (dwFlags & VAR_DATEVALUEONLY) fields->wHour = fields->wMinute = fields->wSecond = 0;
    if (dwFlags & VAR_TIMEVALUEONLY) fields->wYear = 1899, fields->wMonth = 12, fields->wDay = 30;
    auto date = pal::variant_time::FromFields(*fields);
    if (!date) return DISP_E_TYPEMISMATCH;
    *pdateOut = *date;
    return S_OK;
}
