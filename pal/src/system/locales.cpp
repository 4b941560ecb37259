#include "locales.h"

#include <array>

#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/system.h"

namespace pal {

namespace {

constexpr std::array kLocales = {
    LocaleInfo{0x0409, ",", DateOrder::MonthDayYear},  // en-US
    LocaleInfo{0x0809, ",", DateOrder::DayMonthYear},  // en-GB
    LocaleInfo{0x0C09, ",", DateOrder::DayMonthYear},  // en-AU
    LocaleInfo{0x1009, ",", DateOrder::DayMonthYear},  // en-CA
    LocaleInfo{0x0407, ";", DateOrder::DayMonthYear},  // de-DE
    LocaleInfo{0x0C07, ";", DateOrder::DayMonthYear},  // de-AT
    LocaleInfo{0x0807, ";", DateOrder::DayMonthYear},  // de-CH
    LocaleInfo{0x040C, ";", DateOrder::DayMonthYear},  // fr-FR
    LocaleInfo{0x080C, ";", DateOrder::DayMonthYear},  // fr-BE
    LocaleInfo{0x0C0C, ";", DateOrder::YearMonthDay},  // fr-CA
    LocaleInfo{0x0410, ";", DateOrder::DayMonthYear},  // it-IT
    LocaleInfo{0x0C0A, ";", DateOrder::DayMonthYear},  // es-ES
    LocaleInfo{0x080A, ",", DateOrder::DayMonthYear},  // es-MX
    LocaleInfo{0x0413, ";", DateOrder::DayMonthYear},  // nl-NL
    LocaleInfo{0x0416, ";", DateOrder::DayMonthYear},  // pt-BR
    LocaleInfo{0x0816, ";", DateOrder::DayMonthYear},  // pt-PT
    LocaleInfo{0x041D, ";", DateOrder::YearMonthDay},  // sv-SE
    LocaleInfo{0x0406, ";", DateOrder::DayMonthYear},  // da-DK
    LocaleInfo{0x0414, ";", DateOrder::DayMonthYear},  // nb-NO
    LocaleInfo{0x040B, ";", DateOrder::DayMonthYear},  // fi-FI
    LocaleInfo{0x0415, ";", DateOrder::DayMonthYear},  // pl-PL
    LocaleInfo{0x0419, ";", DateOrder::DayMonthYear},  // ru-RU
    LocaleInfo{0x0411, ",", DateOrder::YearMonthDay},  // ja-JP
    LocaleInfo{0x0412, ",", DateOrder::YearMonthDay},  // ko-KR
    LocaleInfo{0x0804, ",", DateOrder::YearMonthDay},  // zh-CN
    LocaleInfo{0x0404, ",", DateOrder::YearMonthDay},  // zh-TW
};

}  // namespace

const LocaleInfo* FindLocale(LCID lcid) {
    if (lcid == 0 || lcid == LOCALE_SYSTEM_DEFAULT || lcid == LOCALE_USER_DEFAULT)
        lcid = CurrentMachine().Config().locale;
    for (const LocaleInfo& locale : kLocales)
        if (locale.lcid == lcid) return &locale;
    return nullptr;
}

}  // namespace pal
