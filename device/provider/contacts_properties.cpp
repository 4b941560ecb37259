#include "contacts_properties.h"

#include <algorithm>

namespace {

#define CONTACT_TEXT(Name, tag) {tag, &IContact::get_##Name, &IContact::put_##Name}
#define CONTACT_DATE(Name, tag) {tag, &IContact::get_##Name, &IContact::put_##Name}

const ContactDateProperty kDates[] = {
    CONTACT_DATE(Anniversary, 0x00F10040),
    CONTACT_DATE(Birthday, 0x00F00040),
};

// The text properties in packet order: the dates come first, then these.
const ContactStringProperty kTexts[] = {
    CONTACT_TEXT(AssistantName, 0x008F001F),
    CONTACT_TEXT(AssistantTelephoneNumber, 0x00A1001F),
    CONTACT_TEXT(Body, 0x101F001F),
    CONTACT_TEXT(Business2TelephoneNumber, 0x0098001F),
    CONTACT_TEXT(BusinessAddressCity, 0x00C2001F),
    CONTACT_TEXT(BusinessAddressCountry, 0x00C5001F),
    CONTACT_TEXT(BusinessAddressPostalCode, 0x00C4001F),
    CONTACT_TEXT(BusinessAddressState, 0x00C3001F),
    CONTACT_TEXT(BusinessAddressStreet, 0x00C1001F),
    CONTACT_TEXT(BusinessFaxNumber, 0x009B001F),
    CONTACT_TEXT(BusinessTelephoneNumber, 0x0097001F),
    CONTACT_TEXT(CarTelephoneNumber, 0x009E001F),
    CONTACT_TEXT(Categories, 0x101D001F),
    CONTACT_TEXT(Children, 0x00A6001F),
    CONTACT_TEXT(CompanyName, 0x008A001F),
    CONTACT_TEXT(Department, 0x008B001F),
    CONTACT_TEXT(Email1Address, 0x0090001F),
    CONTACT_TEXT(Email2Address, 0x0091001F),
    CONTACT_TEXT(Email3Address, 0x0092001F),
    CONTACT_TEXT(FileAs, 0x0080001F),
    CONTACT_TEXT(FirstName, 0x0082001F),
    CONTACT_TEXT(Home2TelephoneNumber, 0x009A001F),
    CONTACT_TEXT(HomeAddressCity, 0x00D2001F),
    CONTACT_TEXT(HomeAddressCountry, 0x00D5001F),
    CONTACT_TEXT(HomeAddressPostalCode, 0x00D4001F),
    CONTACT_TEXT(HomeAddressState, 0x00D3001F),
    CONTACT_TEXT(HomeAddressStreet, 0x00D1001F),
    CONTACT_TEXT(HomeFaxNumber, 0x009C001F),
    CONTACT_TEXT(HomeTelephoneNumber, 0x0099001F),
    CONTACT_TEXT(JobTitle, 0x008C001F),
    CONTACT_TEXT(LastName, 0x0084001F),
    CONTACT_TEXT(MiddleName, 0x0083001F),
    CONTACT_TEXT(MobileTelephoneNumber, 0x0096001F),
    CONTACT_TEXT(OfficeLocation, 0x008E001F),
    CONTACT_TEXT(OtherAddressCity, 0x00E2001F),
    CONTACT_TEXT(OtherAddressCountry, 0x00E5001F),
    CONTACT_TEXT(OtherAddressPostalCode, 0x00E4001F),
    CONTACT_TEXT(OtherAddressState, 0x00E3001F),
    CONTACT_TEXT(OtherAddressStreet, 0x00E1001F),
    CONTACT_TEXT(PagerNumber, 0x009D001F),
    CONTACT_TEXT(RadioTelephoneNumber, 0x009F001F),
    CONTACT_TEXT(Spouse, 0x00A5001F),
    CONTACT_TEXT(Suffix, 0x0085001F),
    CONTACT_TEXT(Title, 0x0081001F),
    CONTACT_TEXT(WebPage, 0x00A7001F),
};

#undef CONTACT_TEXT
#undef CONTACT_DATE

struct Order {
    ContactProperty rows[std::size(kDates) + std::size(kTexts)];
    Order() {
        size_t at = 0;
        for (const auto& date : kDates) rows[at++] = {&date, nullptr};
        for (const auto& text : kTexts) rows[at++] = {nullptr, &text};
    }
};

constexpr CEPROPID kExtended[] = {0x00AB001F, 0x00A0001F, 0x00A9001F, 0x10A4001F, 0x00AA001F,
                                  0x0093001F, 0x0094001F, 0x0095001F, 0x008D001F, 0x10A3001F,
                                  0x0086001F, 0x00A8001F, 0x10A2001F, kContactPictureTag,
                                  kContactNumberTag};

}  // namespace

std::span<const ContactProperty> ContactPropertyOrder() {
    static const Order order;
    return order.rows;
}

ContactProperty FindContactProperty(ULONG tag) {
    for (const auto& row : ContactPropertyOrder())
        if ((row.date && row.date->tag == tag) || (row.text && row.text->tag == tag)) return row;
    return {nullptr, nullptr};
}

std::span<const CEPROPID> ExtendedContactProperties() { return kExtended; }

bool IsExtendedContactProperty(ULONG tag) {
    return std::find(std::begin(kExtended), std::end(kExtended), tag) != std::end(kExtended);
}

bool DateToFiletime(DATE date, FILETIME* time) {
    if (date == POOM_NO_DATE) return false;
    SYSTEMTIME fields{};
    // The calendar fields travel unchanged: no time-zone conversion.
    return VariantTimeToSystemTime(date, &fields) && SystemTimeToFileTime(&fields, time);
}

bool FiletimeToDate(const FILETIME& time, DATE* date) {
    SYSTEMTIME fields{};
    return FileTimeToSystemTime(&time, &fields) && SystemTimeToVariantTime(&fields, date);
}
