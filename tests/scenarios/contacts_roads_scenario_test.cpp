// The contacts roads with every real party on them (see fixtures/roads_world.h): the address book
// and the desktop provider, the engine, Pocket Outlook's contacts, the device provider and the
// notification service journalling the device's changes.
#include <gtest/gtest.h>
#include <wab.h>
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "fixtures/roads_world.h"
#include "pal_testing/file_times.h"

namespace {

using pal_testing::FileTimeOf;
using pal_testing::Ticks;

using namespace activesync;
using emu::wab::Property;

constexpr CEPROPID kFirstName = 0x0082001F;
constexpr CEPROPID kLastName = 0x0084001F;
constexpr CEPROPID kCompany = 0x008A001F;
constexpr CEPROPID kJobTitle = 0x008C001F;
constexpr CEPROPID kMobile = 0x0096001F;
constexpr CEPROPID kEmail1 = 0x0090001F;
constexpr CEPROPID kEmail2 = 0x0091001F;
constexpr CEPROPID kEmail3 = 0x0092001F;
constexpr CEPROPID kBirthday = 0x00F00040;

class ContactsRoads : public scenarios::RoadsWorld {
protected:
    explicit ContactsRoads(const pal::WorldOptions& options = {})
        : RoadsWorld("Address", options) {}

    // A desktop contact named `name` with the addresses given (the first is the default).
    std::uint32_t AddDesktopContact(const std::string& name, std::vector<Property> props,
                                    std::vector<std::string> emails = {}) {
        props.push_back(Property::Text(PR_DISPLAY_NAME_A, name));
        if (!emails.empty()) {
            props.push_back(Property::Text(PR_EMAIL_ADDRESS_A, emails.front()));
            props.push_back(Property::Number(PR_CONTACT_DEFAULT_ADDRESS_INDEX, 0));
            props.push_back(Property::List(PR_CONTACT_EMAIL_ADDRESSES_A, emails));
        }
        return emu::wab::AddEntry(desktop, emu::wab::kContact, props);
    }

    std::vector<emu::wab::Entry> DesktopContacts() {
        std::vector<emu::wab::Entry> contacts;
        for (auto& entry : emu::wab::ListEntries(desktop))
            if (entry.type == emu::wab::kContact) contacts.push_back(entry);
        return contacts;
    }
    std::optional<emu::wab::Entry> DesktopContact(const std::string& name) {
        for (auto& entry : DesktopContacts())
            if (entry.TextOf(PR_DISPLAY_NAME_A) == name) return entry;
        return std::nullopt;
    }
    std::optional<emu::poom::Contact> DeviceContact(const std::u16string& fileAs) {
        for (auto& contact : emu::poom::Contacts(device))
            if (contact.fileAs == fileAs) return contact;
        return std::nullopt;
    }
    static std::u16string Text(const emu::poom::Contact& contact, CEPROPID id) {
        auto found = contact.values.find(id);
        if (found == contact.values.end()) return u"";
        const auto* text = std::get_if<std::u16string>(&found->second);
        return text ? *text : u"?";
    }
    static std::vector<std::string> List(const emu::wab::Entry& entry, std::uint32_t tag) {
        const Property* found = entry.Find(tag);
        return found ? found->items : std::vector<std::string>{};
    }

    // A changed object of `direction` reported `count` times and nothing else.
    static void ExpectOnly(const TypeReport& report, SyncDirection direction, SyncAction action,
                           size_t count = 1) {
        EXPECT_EQ(report.Count(direction, action), count);
        EXPECT_EQ(report.objects.size(), count) << "restarts " << report.restarts;
    }
};

TEST_F(ContactsRoads, ADesktopContactArrivesOnTheDeviceWithItsFieldsAndThenNothingMoves) {
    AddDesktopContact(
        "John Smith",
        {Property::Text(PR_GIVEN_NAME_A, "John"), Property::Text(PR_SURNAME_A, "Smith"),
         Property::Text(PR_COMPANY_NAME_A, "Acme"),
         Property::Number(PR_BIRTHDAY, Ticks(FileTimeOf(1970, 5, 17)))},
        {"john@example.com", "js@example.org"});

    ExpectOnly(Sync(), SyncDirection::ToDevice, SyncAction::Created);
    ASSERT_EQ(emu::poom::Contacts(device).size(), 1u);
    auto arrived = DeviceContact(u"John Smith");
    ASSERT_TRUE(arrived);
    EXPECT_EQ(Text(*arrived, kFirstName), u"John");
    EXPECT_EQ(Text(*arrived, kLastName), u"Smith");
    EXPECT_EQ(Text(*arrived, kCompany), u"Acme");
    EXPECT_EQ(Text(*arrived, kEmail1), u"john@example.com");
    EXPECT_EQ(Text(*arrived, kEmail2), u"js@example.org");
    EXPECT_EQ(Text(*arrived, kEmail3), u"");
    ASSERT_TRUE(arrived->values.count(kBirthday));
    EXPECT_EQ(Ticks(std::get<FILETIME>(arrived->values.at(kBirthday))),
              Ticks(FileTimeOf(1970, 5, 17)));

    // The device provider's own write is no device change: nothing comes back.
    EXPECT_EQ(Nothing(Sync()), 0u);
    EXPECT_EQ(Nothing(Sync()), 0u);
    EXPECT_EQ(DesktopContacts().size(), 1u);
}

TEST_F(ContactsRoads, ADeviceContactArrivesOnTheDesktopAndThenNothingMoves) {
    emu::poom::AddContact(device, {{emu::poom::kFileAsProperty, u"Lee, Ann"},
                                   {kFirstName, u"Ann"},
                                   {kLastName, u"Lee"},
                                   {kMobile, u"+1 555 0100"},
                                   {kEmail1, u"ann@example.com"}});

    ExpectOnly(Sync(), SyncDirection::ToDesktop, SyncAction::Created);
    auto arrived = DesktopContact("Lee, Ann");
    ASSERT_TRUE(arrived);
    EXPECT_EQ(arrived->TextOf(PR_GIVEN_NAME_A), "Ann");
    EXPECT_EQ(arrived->TextOf(PR_SURNAME_A), "Lee");
    EXPECT_EQ(arrived->TextOf(PR_MOBILE_TELEPHONE_NUMBER_A), "+1 555 0100");
    EXPECT_EQ(arrived->TextOf(PR_EMAIL_ADDRESS_A), "ann@example.com");
    EXPECT_EQ(List(*arrived, PR_CONTACT_EMAIL_ADDRESSES_A),
              std::vector<std::string>{"ann@example.com"});

    EXPECT_EQ(Nothing(Sync()), 0u);
    EXPECT_EQ(emu::poom::Contacts(device).size(), 1u);
    EXPECT_EQ(DesktopContacts().size(), 1u);
}

TEST_F(ContactsRoads, EditsAndClearedFieldsReachTheOtherSide) {
    std::uint32_t id = AddDesktopContact(
        "Carl Berg",
        {Property::Text(PR_COMPANY_NAME_A, "Acme"), Property::Text(PR_TITLE_A, "Clerk"),
         Property::Text(PR_MOBILE_TELEPHONE_NUMBER_A, "555 0101"),
         Property::Number(PR_BIRTHDAY, Ticks(FileTimeOf(1980, 2, 29)))});
    Sync();
    auto onDevice = DeviceContact(u"Carl Berg");
    ASSERT_TRUE(onDevice);
    EXPECT_TRUE(onDevice->values.count(kBirthday));

    // Edited and cleared on the desktop: the device takes the new value and loses the cleared
    // ones.
    ASSERT_TRUE(emu::wab::UpdateEntry(desktop, id, {Property::Text(PR_COMPANY_NAME_A, "Globex")},
                                      {PR_TITLE_A, PR_BIRTHDAY}));
    ExpectOnly(Sync(), SyncDirection::ToDevice, SyncAction::Changed);
    onDevice = DeviceContact(u"Carl Berg");
    ASSERT_TRUE(onDevice);
    EXPECT_EQ(Text(*onDevice, kCompany), u"Globex");
    EXPECT_FALSE(onDevice->values.count(kJobTitle));
    EXPECT_FALSE(onDevice->values.count(kBirthday));
    EXPECT_EQ(Text(*onDevice, kMobile), u"555 0101");

    // Edited and cleared on the device: the desktop follows.
    ASSERT_TRUE(
        emu::poom::ChangeContact(device, onDevice->oid, {{kJobTitle, u"Manager"}}, {kMobile}));
    ExpectOnly(Sync(), SyncDirection::ToDesktop, SyncAction::Changed);
    auto onDesktop = emu::wab::FindEntry(desktop, id);
    ASSERT_TRUE(onDesktop);
    EXPECT_EQ(onDesktop->TextOf(PR_TITLE_A), "Manager");
    EXPECT_EQ(onDesktop->TextOf(PR_COMPANY_NAME_A), "Globex");
    EXPECT_FALSE(onDesktop->Find(PR_MOBILE_TELEPHONE_NUMBER_A));

    EXPECT_EQ(Nothing(Sync()), 0u);
}

TEST_F(ContactsRoads, AContactDeletedOnEitherSideIsDeletedOnTheOther) {
    std::uint32_t first = AddDesktopContact("First", {});
    AddDesktopContact("Second", {});
    Sync();
    ASSERT_EQ(emu::poom::Contacts(device).size(), 2u);

    ASSERT_TRUE(emu::wab::DeleteEntry(desktop, first));
    ExpectOnly(Sync(), SyncDirection::ToDevice, SyncAction::Deleted);
    EXPECT_FALSE(DeviceContact(u"First"));
    auto second = DeviceContact(u"Second");
    ASSERT_TRUE(second);

    ASSERT_TRUE(emu::poom::DeleteContact(device, second->oid));
    ExpectOnly(Sync(), SyncDirection::ToDesktop, SyncAction::Deleted);
    EXPECT_TRUE(DesktopContacts().empty());
    EXPECT_TRUE(emu::poom::Contacts(device).empty());
    EXPECT_EQ(Nothing(Sync()), 0u);
}

TEST_F(ContactsRoads, TheFirstSyncRemovesDuplicatesWithOneRestart) {
    // The same contact on both sides, and one of the same name that differs.
    AddDesktopContact("Dana Fox", {Property::Text(PR_GIVEN_NAME_A, "Dana")}, {"dana@example.com"});
    AddDesktopContact("Eve Park", {Property::Text(PR_TITLE_A, "Chair")});
    emu::poom::AddContact(device, {{emu::poom::kFileAsProperty, u"Dana Fox"},
                                   {kFirstName, u"Dana"},
                                   {kEmail1, u"dana@example.com"}});
    emu::poom::AddContact(device,
                          {{emu::poom::kFileAsProperty, u"Eve Park"}, {kJobTitle, u"Treasurer"}});

    TypeReport first = Sync();
    EXPECT_EQ(first.restarts, 1);
    std::vector<std::string> names;
    for (const auto& entry : DesktopContacts()) names.push_back(entry.TextOf(PR_DISPLAY_NAME_A));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Dana Fox", "Eve Park", "Eve Park"}));
    std::vector<std::u16string> deviceNames;
    for (const auto& contact : emu::poom::Contacts(device)) deviceNames.push_back(contact.fileAs);
    std::sort(deviceNames.begin(), deviceNames.end());
    EXPECT_EQ(deviceNames, (std::vector<std::u16string>{u"Dana Fox", u"Eve Park", u"Eve Park"}));

    TypeReport second = Sync();
    EXPECT_EQ(Nothing(second), 0u);
    EXPECT_EQ(second.restarts, 0);
}

TEST_F(ContactsRoads, AddressesTheDesktopRearrangesAreSentBackInTheSameSync) {
    std::uint32_t id = AddDesktopContact(
        "Gil Hart", {}, {"a@example.com", "b@example.com", "c@example.com", "d@example.com"});
    Sync();
    auto onDevice = DeviceContact(u"Gil Hart");
    ASSERT_TRUE(onDevice);
    EXPECT_EQ(Text(*onDevice, kEmail3), u"c@example.com");

    // The device's user empties the first slot: the desktop closes the gap with the address the
    // device never had, and sends the contact back.
    ASSERT_TRUE(emu::poom::ChangeContact(device, onDevice->oid, {}, {kEmail1}));
    TypeReport report = Sync();
    EXPECT_EQ(report.Count(SyncDirection::ToDesktop, SyncAction::Changed), 1u);
    EXPECT_EQ(report.Count(SyncDirection::ToDevice, SyncAction::Changed), 1u);
    auto onDesktop = emu::wab::FindEntry(desktop, id);
    ASSERT_TRUE(onDesktop);
    EXPECT_EQ(List(*onDesktop, PR_CONTACT_EMAIL_ADDRESSES_A),
              (std::vector<std::string>{"b@example.com", "c@example.com", "d@example.com"}));
    onDevice = DeviceContact(u"Gil Hart");
    ASSERT_TRUE(onDevice);
    EXPECT_EQ(Text(*onDevice, kEmail1), u"b@example.com");
    EXPECT_EQ(Text(*onDevice, kEmail2), u"c@example.com");
    EXPECT_EQ(Text(*onDevice, kEmail3), u"d@example.com");

    EXPECT_EQ(Nothing(Sync()), 0u);
}

// The same roads on a device whose contacts application reports changes itself and carries the
// extended properties.
class ContactsRoadsLaterDevice : public ContactsRoads {
protected:
    ContactsRoadsLaterDevice() : ContactsRoads({5, 1}) {}
};

TEST_F(ContactsRoadsLaterDevice, EditsTravelBothWaysAndTheNicknameComesAlong) {
    std::uint32_t id = AddDesktopContact("Hana Ito", {Property::Text(PR_NICKNAME_A, "Hana-chan"),
                                                      Property::Text(PR_COMPANY_NAME_A, "Acme")});
    ExpectOnly(Sync(), SyncDirection::ToDevice, SyncAction::Created);
    auto onDevice = DeviceContact(u"Hana Ito");
    ASSERT_TRUE(onDevice);
    EXPECT_EQ(Text(*onDevice, kCompany), u"Acme");

    ASSERT_TRUE(emu::poom::ChangeContact(device, onDevice->oid, {{kCompany, u"Globex"}}, {}));
    ExpectOnly(Sync(), SyncDirection::ToDesktop, SyncAction::Changed);
    auto onDesktop = emu::wab::FindEntry(desktop, id);
    ASSERT_TRUE(onDesktop);
    EXPECT_EQ(onDesktop->TextOf(PR_COMPANY_NAME_A), "Globex");
    EXPECT_EQ(onDesktop->TextOf(PR_NICKNAME_A), "Hana-chan");
    EXPECT_EQ(Nothing(Sync()), 0u);
}

}  // namespace
