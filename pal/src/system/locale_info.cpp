#include <algorithm>
#include <string>

#include "locales.h"
#include "pal/system.h"

namespace {

// The text of one LCTYPE for a locale, or 0 with the last error set.
template <class Char>
int CopyLocaleText(LCID locale, LCTYPE type, Char* data, int cchData) {
    if (cchData < 0 || (cchData > 0 && !data)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const pal::LocaleInfo* info = pal::FindLocale(locale);
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (type != LOCALE_SLIST) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    // Every answer is ASCII, the same in the ANSI code page and in UTF-16.
    std::basic_string<Char> text(info->listSeparator.begin(), info->listSeparator.end());
    int needed = static_cast<int>(text.size()) + 1;
    if (cchData == 0) return needed;
    if (cchData < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(text.begin(), text.end(), data);
    data[text.size()] = 0;
    return needed;
}

}  // namespace

int GetLocaleInfoA(LCID Locale, LCTYPE LCType, LPSTR lpLCData, int cchData) {
    return CopyLocaleText(Locale, LCType, lpLCData, cchData);
}

int GetLocaleInfoW(LCID Locale, LCTYPE LCType, LPWSTR lpLCData, int cchData) {
    return CopyLocaleText(Locale, LCType, lpLCData, cchData);
}
