// The locales a machine can be set to, with what the layer answers for each.
#pragma once

#include <string_view>

#include "pal/types.h"

namespace pal {

class Machine;

enum class DateOrder { MonthDayYear, DayMonthYear, YearMonthDay };

struct LocaleInfo {
    LCID lcid;
    std::string_view listSeparator;
    DateOrder dateOrder;
};

// The locale an LCID names: LOCALE_SYSTEM_DEFAULT, LOCALE_USER_DEFAULT and the neutral locale 0
// stand for the current machine's locale. Null for a locale the layer does not know.
const LocaleInfo* FindLocale(LCID lcid);

}  // namespace pal
