#include "contact_fields.h"

#include <wab.h>

#include <cstdio>

#include "cli.h"
#include "pal/runtime/encoding.h"

namespace velumex {

namespace {

using emu::wab::Property;

// 100-ns intervals from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpoch = 116444736000000000LL;
constexpr std::int64_t kDay = 864000000000LL;

// Days since 1970-01-01 of a civil date.
std::int64_t DaysFromCivil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<std::int64_t>(era) * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::string CivilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u", static_cast<long long>(y), m, d);
    return text;
}

}  // namespace

const std::vector<ContactField>& ContactFields() {
    static const std::vector<ContactField> fields = {
        {"name", PR_DISPLAY_NAME_A, 0x0080001F},
        {"first", PR_GIVEN_NAME_A, 0x0082001F},
        {"middle", PR_MIDDLE_NAME_A, 0x0083001F},
        {"last", PR_SURNAME_A, 0x0084001F},
        {"prefix", PR_DISPLAY_NAME_PREFIX_A, 0x0081001F},
        {"nickname", PR_NICKNAME_A, 0x0086001F},
        {"company", PR_COMPANY_NAME_A, 0x008A001F},
        {"department", PR_DEPARTMENT_NAME_A, 0x008B001F},
        {"job-title", PR_TITLE_A, 0x008C001F},
        {"office", PR_OFFICE_LOCATION_A, 0x008E001F},
        {"mobile", PR_MOBILE_TELEPHONE_NUMBER_A, 0x0096001F},
        {"business-phone", PR_BUSINESS_TELEPHONE_NUMBER_A, 0x0097001F},
        {"business2-phone", PR_WAB_BUSINESS2_TELEPHONE_NUMBER_A, 0x0098001F},
        {"home-phone", PR_HOME_TELEPHONE_NUMBER_A, 0x0099001F},
        {"business-fax", PR_BUSINESS_FAX_NUMBER_A, 0x009B001F},
        {"home-fax", PR_HOME_FAX_NUMBER_A, 0x009C001F},
        {"pager", PR_PAGER_TELEPHONE_NUMBER_A, 0x009D001F},
        {"spouse", PR_SPOUSE_NAME_A, 0x00A5001F},
        {"children", PR_CHILDRENS_NAMES_A, 0x00A6001F},
        {"webpage", PR_PERSONAL_HOME_PAGE_A, 0x00A7001F},
        {"business-street", PR_BUSINESS_ADDRESS_STREET_A, 0x00C1001F},
        {"business-city", PR_BUSINESS_ADDRESS_CITY_A, 0x00C2001F},
        {"business-state", PR_BUSINESS_ADDRESS_STATE_OR_PROVINCE_A, 0x00C3001F},
        {"business-zip", PR_BUSINESS_ADDRESS_POSTAL_CODE_A, 0x00C4001F},
        {"business-country", PR_BUSINESS_ADDRESS_COUNTRY_A, 0x00C5001F},
        {"home-street", PR_HOME_ADDRESS_STREET_A, 0x00D1001F},
        {"home-city", PR_HOME_ADDRESS_CITY_A, 0x00D2001F},
        {"home-state", PR_HOME_ADDRESS_STATE_OR_PROVINCE_A, 0x00D3001F},
        {"home-zip", PR_HOME_ADDRESS_POSTAL_CODE_A, 0x00D4001F},
        {"home-country", PR_HOME_ADDRESS_COUNTRY_A, 0x00D5001F},
        {"birthday", PR_BIRTHDAY, 0x00F00040},
        {"anniversary", PR_WEDDING_ANNIVERSARY, 0x00F10040},
        {"notes", PR_COMMENT_A, 0x101F001F},
    };
    return fields;
}

const ContactField& FieldNamed(const std::string& name) {
    for (const ContactField& field : ContactFields())
        if (name == field.name) return field;
    std::string known;
    for (const ContactField& field : ContactFields()) known += std::string(" ") + field.name;
    throw CliError("unknown contact field '" + name + "' (fields: email" + known + ")");
}

std::string ToAnsi(const std::string& utf8) {
    if (!pal::IsValidUtf8(utf8)) throw CliError("'" + utf8 + "' is not valid UTF-8");
    std::string ansi;
    for (char16_t unit : pal::Utf8ToUtf16(utf8)) {
        std::optional<unsigned char> byte = pal::Utf16ToCp1252(unit);
        if (!byte || *byte == 0)
            throw CliError("'" + utf8 + "' holds characters the desktop's code page cannot hold");
        ansi.push_back(static_cast<char>(*byte));
    }
    return ansi;
}

std::string FromAnsi(const std::string& ansi) { return pal::Utf16ToUtf8(pal::Cp1252ToUtf16(ansi)); }

Property FieldProperty(const ContactField& field, const std::string& value) {
    if (PROP_TYPE(field.bookTag) == PT_SYSTIME) {
        int y = 0;
        unsigned m = 0, d = 0;
        char end = 0;
        if (std::sscanf(value.c_str(), "%4d-%2u-%2u%c", &y, &m, &d, &end) != 3 || y < 1601 ||
            m < 1 || m > 12 || d < 1 || d > 31 || CivilFromDays(DaysFromCivil(y, m, d)) != value)
            throw CliError(std::string(field.name) + " takes a date YYYY-MM-DD, not '" + value +
                           "'");
        return Property::Number(field.bookTag, kUnixEpoch + DaysFromCivil(y, m, d) * kDay);
    }
    if (PROP_TYPE(field.bookTag) == PT_MV_STRING8) {
        std::vector<std::string> items;
        size_t at = 0;
        while (at <= value.size()) {
            size_t end = value.find(';', at);
            if (end == std::string::npos) end = value.size();
            std::string item = value.substr(at, end - at);
            item.erase(0, std::min(item.size(), item.find_first_not_of(' ')));
            if (!item.empty()) items.push_back(ToAnsi(item));
            at = end + 1;
        }
        return Property::List(field.bookTag, items);
    }
    return Property::Text(field.bookTag, ToAnsi(value));
}

std::string FieldText(const Property& prop) {
    switch (PROP_TYPE(prop.tag)) {
        case PT_SYSTIME:
            return CivilFromDays((prop.number - kUnixEpoch) / kDay);
        case PT_LONG:
            return std::to_string(prop.number);
        case PT_MV_STRING8: {
            std::string text;
            for (const std::string& item : prop.items)
                text += (text.empty() ? "" : "; ") + FromAnsi(item);
            return text;
        }
        default:
            return prop.items.empty() ? std::string() : FromAnsi(prop.items.front());
    }
}

std::vector<Property> EmailProperties(const std::vector<std::string>& addresses,
                                      size_t defaultIndex) {
    std::vector<std::string> list;
    for (const std::string& address : addresses) list.push_back(ToAnsi(address));
    if (defaultIndex >= list.size()) defaultIndex = 0;
    return {Property::Text(PR_EMAIL_ADDRESS_A, list.at(defaultIndex)),
            Property::Number(PR_CONTACT_DEFAULT_ADDRESS_INDEX, static_cast<LONG>(defaultIndex)),
            Property::List(PR_CONTACT_EMAIL_ADDRESSES_A, list)};
}

}  // namespace velumex
