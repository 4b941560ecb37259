// Contact packets both ways: file-as names, e-mail slots, multi-valued text, clear markers,
// malformed packets, the write pass and duplicates of new contacts.
#include <cstring>

#include "contact_properties.h"
#include "contacts_fixture.h"

namespace trellium_testing {
namespace {

constexpr ULONG kCompany = 0x008A001F;
constexpr ULONG kChildren = 0x00A6001F;
constexpr ULONG kFirstName = 0x0082001F;
constexpr ULONG kLastName = 0x0084001F;

using ContactPacketTest = ContactsTest;

Property Addresses(std::vector<std::string> list) {
    return Property::List(PR_CONTACT_EMAIL_ADDRESSES_A, std::move(list));
}

TEST_F(ContactPacketTest, FileAsIsComposedFromTheNamesWhenTheDisplayNameIsKept) {
    Start(1);
    std::uint32_t id = Contact({Property::Text(PR_DISPLAY_NAME_A, "John Smith"),
                                Property::Text(PR_GIVEN_NAME_A, "John"),
                                Property::Text(PR_SURNAME_A, "Smith")});
    CWABItem* item = Item(id);
    HRESULT result = E_FAIL;
    auto packet = Packet(item, &result);
    EXPECT_EQ(result, RWRN_LAST_PACKET);
    EXPECT_EQ(Find(packet, kPacketFileAs), u"Smith, John");
    EXPECT_EQ(Find(packet, kFirstName), u"John");

    // Back from the device: the book keeps its own display name for an existing contact.
    EXPECT_EQ(Apply(Build({{kPacketFileAs, u"Smith, John"}, {kFirstName, u"John"},
                           {kLastName, u"Smith"}}),
                    0, &item),
              S_OK);
    EXPECT_EQ(Stored(id).TextOf(PR_DISPLAY_NAME_A), "John Smith");
    // A new contact takes the device's file-as text.
    CWABItem* fresh = nullptr;
    EXPECT_EQ(Apply(Build({{kPacketFileAs, u"Doe, Jane"}}), RSF_NEW_OBJECT, &fresh), S_OK);
    ASSERT_NE(fresh, nullptr);
    auto number = emu::wab::EntryNumberOf(fresh->EntryIdBytes(), fresh->EntryIdSize());
    EXPECT_EQ(Stored(*number).TextOf(PR_DISPLAY_NAME_A), "Doe, Jane");
}

TEST_F(ContactPacketTest, TheFirstThreeAddressesTravelAndTheRestComeBackBehindThem) {
    Start();
    std::vector<std::string> six = {"a@x", "b@x", "c@x", "d@x", "e@x", "f@x"};
    std::uint32_t id = Contact({Property::Text(PR_DISPLAY_NAME_A, "Ann"), Addresses(six),
                                Property::Number(PR_CONTACT_DEFAULT_ADDRESS_INDEX, 4),
                                Property::Text(PR_EMAIL_ADDRESS_A, "e@x")});
    CWABItem* item = Item(id);
    auto packet = Packet(item);
    EXPECT_EQ(Find(packet, kPacketEmail1), u"a@x");
    EXPECT_EQ(Find(packet, kPacketEmail2), u"b@x");
    EXPECT_EQ(Find(packet, kPacketEmail3), u"c@x");
    // A tag the packet carries gets no clear marker as well.
    EXPECT_FALSE(Has(packet, kPacketEmail1 + kClearMarkerFlag));
    EXPECT_TRUE(Has(packet, kCompany + kClearMarkerFlag));

    EXPECT_EQ(Apply(Build({{kPacketFileAs, u"Ann"}, {kPacketEmail1, u"a@x"},
                           {kPacketEmail2, u"b@x"}, {kPacketEmail3, u"c@x"}}),
                    0, &item),
              S_OK);
    emu::wab::Entry stored = Stored(id);
    EXPECT_EQ(stored.Find(PR_CONTACT_EMAIL_ADDRESSES_A)->items, six);
    EXPECT_EQ(stored.Find(PR_CONTACT_DEFAULT_ADDRESS_INDEX)->number, 4);
    EXPECT_EQ(stored.TextOf(PR_EMAIL_ADDRESS_A), "e@x");
    auto told = m_notify->TakeNotifications();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].code, RNC_MODIFIED);
    EXPECT_EQ(told[0].objType, "Address");
    // The engine owns what it is told about: a copy, not the item it holds.
    EXPECT_NE(told[0].item, ToHandle(item));
    m_store->FreeObject(told[0].item);
}

TEST_F(ContactPacketTest, AGapAmongTheDeviceSlotsIsSentBackForExistingContactsOnly) {
    Start();
    std::uint32_t id = Contact({Property::Text(PR_DISPLAY_NAME_A, "Ann")});
    CWABItem* item = Item(id);
    EXPECT_EQ(Apply(Build({{kPacketFileAs, u"Ann"}, {kPacketEmail2, u"b@x"}}), 0, &item), S_OK);
    EXPECT_EQ(Stored(id).Find(PR_CONTACT_EMAIL_ADDRESSES_A)->items,
              std::vector<std::string>{"b@x"});
    EXPECT_EQ(Stored(id).Find(PR_CONTACT_DEFAULT_ADDRESS_INDEX)->number, 0);
    auto told = m_notify->TakeNotifications();
    EXPECT_EQ(told.size(), 1u);
    for (auto& t : told) m_store->FreeObject(t.item);

    CWABItem* fresh = nullptr;
    EXPECT_EQ(Apply(Build({{kPacketFileAs, u"Bob"}, {kPacketEmail2, u"c@x"}}), RSF_NEW_OBJECT,
                    &fresh),
              S_OK);
    EXPECT_TRUE(m_notify->TakeNotifications().empty());
}

TEST_F(ContactPacketTest, TheDefaultAddressIsFollowedByItsTextAndAnEmptiedListIsSaved) {
    Start();
    std::uint32_t id = Contact({Property::Text(PR_DISPLAY_NAME_A, "Ann"),
                                Addresses({"a@x", "b@x", "c@x", "d@x"}),
                                Property::Number(PR_CONTACT_DEFAULT_ADDRESS_INDEX, 1),
                                Property::Text(PR_EMAIL_ADDRESS_A, "b@x")});
    CWABItem* item = Item(id);
    EXPECT_EQ(Apply(Build({{kPacketFileAs, u"Ann"}, {kPacketEmail1, u"b@x"},
                           {kPacketEmail2, u"a@x"}, {kPacketEmail3, u"c@x"}}),
                    0, &item),
              S_OK);
    emu::wab::Entry stored = Stored(id);
    EXPECT_EQ(stored.Find(PR_CONTACT_EMAIL_ADDRESSES_A)->items,
              (std::vector<std::string>{"b@x", "a@x", "c@x", "d@x"}));
    EXPECT_EQ(stored.Find(PR_CONTACT_DEFAULT_ADDRESS_INDEX)->number, 0);
    EXPECT_EQ(stored.TextOf(PR_EMAIL_ADDRESS_A), "b@x");
    for (auto& told : m_notify->TakeNotifications()) m_store->FreeObject(told.item);

    // The address rows come last in the table: only the final save keeps their removal.
    Contact({Property::Text(PR_DISPLAY_NAME_A, "Bob")});
    std::uint32_t plain = Contact({Property::Text(PR_DISPLAY_NAME_A, "Cy"), Addresses({"c@x"}),
                                   Property::Number(PR_CONTACT_DEFAULT_ADDRESS_INDEX, 0)});
    CWABItem* cy = Item(plain);
    EXPECT_EQ(Apply(Build({{kPacketFileAs, u"Cy"}}), 0, &cy), S_OK);
    EXPECT_EQ(Stored(plain).Find(PR_CONTACT_EMAIL_ADDRESSES_A), nullptr);
}

TEST_F(ContactPacketTest, ChildrenAreJoinedAndSplitWithTheListSeparator) {
    Start();
    std::strcpy(m_folder->m_separator, ";");
    std::uint32_t id = Contact({Property::Text(PR_DISPLAY_NAME_A, "Ann"),
                                Property::List(PR_CHILDRENS_NAMES_A, {"Ann", "Bob"})});
    CWABItem* item = Item(id);
    EXPECT_EQ(Find(Packet(item), kChildren), u"Ann;Bob");
    EXPECT_EQ(Apply(Build({{kPacketFileAs, u"Ann"}, {kChildren, u"Cy; Di"}}), 0, &item), S_OK);
    EXPECT_EQ(Stored(id).Find(PR_CHILDRENS_NAMES_A)->items,
              (std::vector<std::string>{"Cy", "Di"}));
}

TEST_F(ContactPacketTest, APlainAddressTravelsAloneAndEmptyFieldsAreRemoved) {
    Start();
    std::uint32_t id = Contact({Property::Text(PR_DISPLAY_NAME_A, "Ann"),
                                Property::Text(PR_EMAIL_ADDRESS_A, "a@x"),
                                Property::Text(PR_COMPANY_NAME_A, "Acme")});
    CWABItem* item = Item(id);
    auto packet = Packet(item);
    EXPECT_EQ(Find(packet, kPacketEmail1), u"a@x");
    EXPECT_TRUE(Has(packet, kPacketEmail2 + kClearMarkerFlag));
    EXPECT_TRUE(Has(packet, kPacketEmail3 + kClearMarkerFlag));
    EXPECT_FALSE(Has(packet, kCompany + kClearMarkerFlag));

    // Every table property is rewritten, so one the device left empty goes, even the last.
    EXPECT_EQ(Apply(Build({{kPacketFileAs, u"Ann"}, {kCompany, u""}}), 0, &item), S_OK);
    emu::wab::Entry stored = Stored(id);
    EXPECT_EQ(stored.Find(PR_COMPANY_NAME_A), nullptr);
    EXPECT_EQ(stored.Find(PR_EMAIL_ADDRESS_A), nullptr);
    EXPECT_EQ(stored.TextOf(PR_DISPLAY_NAME_A), "Ann");
}

TEST_F(ContactPacketTest, AMalformedPacketWritesNothing) {
    Start();
    std::uint32_t id = Contact({Property::Text(PR_DISPLAY_NAME_A, "Ann"),
                                Property::Text(PR_COMPANY_NAME_A, "Acme")});
    CWABItem* item = Item(id);
    std::vector<BYTE> packet = Build({{kCompany, u"Other"}});
    std::vector<BYTE> inflated = packet;
    inflated[0] = 0xFF;
    inflated[1] = 0xFF;
    EXPECT_EQ(Apply(inflated, 0, &item), E_UNEXPECTED);
    std::vector<BYTE> cut(packet.begin(), packet.end() - 4);
    cut[0] = 2;
    EXPECT_EQ(Apply(cut, 0, &item), E_UNEXPECTED);
    EXPECT_EQ(Stored(id).TextOf(PR_COMPANY_NAME_A), "Acme");

    // A new contact that fails hands the engine no item.
    CWABItem* fresh = nullptr;
    EXPECT_EQ(Apply(inflated, RSF_NEW_OBJECT, &fresh), E_UNEXPECTED);
    EXPECT_EQ(fresh, nullptr);
}

TEST_F(ContactPacketTest, AnIdenticalNewContactIsRecordedAsADuplicateWhileCombining) {
    Start();
    std::uint32_t ann = Contact({Property::Text(PR_DISPLAY_NAME_A, "Ann"),
                                 Property::Text(PR_COMPANY_NAME_A, "Acme")});
    auto same = Build({{kPacketFileAs, u"Ann"}, {kCompany, u"Acme"}});
    CWABItem* plain = nullptr;
    EXPECT_EQ(Apply(same, RSF_NEW_OBJECT, &plain), S_OK);
    EXPECT_TRUE(m_store->m_contactsHandler->m_duplicates.empty());

    CWABItem* differing = nullptr;
    EXPECT_EQ(Apply(Build({{kPacketFileAs, u"Bob"}, {kCompany, u"Acme"}}),
                    RSF_NEW_OBJECT | RSF_COMBINE_OBJECT, &differing),
              S_OK);
    EXPECT_TRUE(m_store->m_contactsHandler->m_duplicates.empty());

    // "Ann" now names two entries: no check.
    CWABItem* ambiguous = nullptr;
    EXPECT_EQ(Apply(same, RSF_NEW_OBJECT | RSF_COMBINE_OBJECT, &ambiguous), S_OK);
    EXPECT_TRUE(m_store->m_contactsHandler->m_duplicates.empty());

    emu::wab::DeleteEntry(m_world.Desktop(), ann);
    emu::wab::DeleteEntry(m_world.Desktop(),
                          *emu::wab::EntryNumberOf(plain->EntryIdBytes(), plain->EntryIdSize()));
    CWABItem* duplicate = nullptr;
    EXPECT_EQ(Apply(same, RSF_NEW_OBJECT | RSF_COMBINE_OBJECT, &duplicate), S_OK);
    ASSERT_EQ(m_store->m_contactsHandler->m_duplicates.size(), 1u);
    EXPECT_EQ(m_store->RemoveDuplicates(nullptr, 0), RERR_RESTART);
    EXPECT_EQ(m_folder->IsValidObject(ToHandle(duplicate)), RERR_OBJECT_DELETED);
    EXPECT_EQ(emu::wab::LiveBuffers(), 0u);
}

TEST_F(ContactPacketTest, DeleteObjRemovesTheEntryAndFailsForAMissingOne) {
    Start();
    CWABItem* item = Item(Contact({Property::Text(PR_DISPLAY_NAME_A, "Ann")}));
    REPLSETUP setup = {};
    setup.hFolder = ToHandle(m_folder);
    setup.hItem = ToHandle(item);
    EXPECT_EQ(m_store->m_contactsHandler->DeleteObj(&setup), S_OK);
    EXPECT_EQ(m_store->m_contactsHandler->DeleteObj(&setup), E_UNEXPECTED);
    HRESULT result = S_OK;
    EXPECT_TRUE(Packet(item, &result).empty());
    EXPECT_EQ(result, E_UNEXPECTED);
}

}  // namespace
}  // namespace trellium_testing
