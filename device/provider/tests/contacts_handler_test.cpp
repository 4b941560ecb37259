// The contacts handler against the device's contacts: packets in and out, clear markers, the
// journal and echo list it keeps, deletions and the device-sync query.
#include <gtest/gtest.h>

#include <vector>

#include "ce_db.h"
#include "contacts_store.h"
#include "emu/poom/contacts.h"
#include "journal.h"
#include "pal_testing/file_times.h"
#include "pal_testing/temp_world.h"
#include "property_packet.h"

namespace {

constexpr ULONG kFirstName = 0x0082001F;
constexpr ULONG kLastName = 0x0084001F;
constexpr ULONG kEmail2 = 0x0091001F;
constexpr ULONG kBirthday = 0x00F00040;
constexpr ULONG kAnniversary = 0x00F10040;
constexpr ULONG kNickname = 0x0086001F;
constexpr ULONG kSpouse = 0x00A5001F;

bool operator==(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

struct Entry {
    ULONG tag;
    std::u16string text;
    FILETIME time{};
};

std::vector<Entry> Decode(LPBYTE data, DWORD size) {
    PacketReader reader;
    reader.Attach(data, size);
    std::vector<Entry> entries;
    for (DWORD i = 0; i < reader.Count(); ++i) {
        ULONG tag = 0;
        LPCBYTE value = reader.Next(&tag);
        if (!value) break;
        Entry entry{tag, {}};
        if (PROP_TYPE(tag) == 0x001F)
            entry.text = reinterpret_cast<const char16_t*>(value);
        else if (PROP_TYPE(tag) == 0x0040)
            entry.time = {LoadLe32(value), LoadLe32(value + 4)};
        entries.push_back(entry);
    }
    return entries;
}

class ContactsHandlerTest : public pal::testing::DeviceTest {
protected:
    explicit ContactsHandlerTest(DWORD osMajor = 4) : m_other(pal::WorldOptions{osMajor, 2}) {
        Use(m_other.Device());
    }
    void SetUp() override {
        emu::poom::Install(m_other.Device());
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        ASSERT_EQ(m_volume.Mount(KESTRIN_VOLUME_PATH, OPEN_ALWAYS), S_OK);
        SORTORDERSPEC sort{PROPID_CONTACT_OID, 0};
        CreateDatabase(CONTACTS_JOURNAL_NAME, JOURNAL_DB_TYPE, nullptr, 1, &sort, m_volume.Guid());
        m_store = std::make_unique<CContactsStore>(m_volume);
        ASSERT_TRUE(m_store->InitObjType(&m_handler, 1));
    }
    void TearDown() override {
        if (m_handler) m_handler->Release();
        m_store.reset();
        CoUninitialize();
    }

    pal::Machine& Device() { return m_other.Device(); }

    // Stores a packet through a write setup; the result, with the new record in *record.
    HRESULT Store(PacketWriter& packet, CEOID existing, CEOID* record = nullptr) {
        REPLSETUP setup{};
        setup.dwFlags = existing ? 0 : RSF_NEW_OBJECT;
        setup.oid = existing;
        m_handler->Setup(&setup);
        HRESULT result = m_handler->SetPacket(packet.Data(), packet.Length());
        m_handler->Reset(&setup);
        if (record) *record = existing ? existing : setup.oidNew;
        return result;
    }
    std::vector<Entry> Read(CEOID record, HRESULT* result = nullptr) {
        REPLSETUP setup{};
        setup.fRead = TRUE;
        setup.oid = record;
        m_handler->Setup(&setup);
        LPBYTE data = nullptr;
        DWORD size = 0;
        HRESULT got = m_handler->GetPacket(&data, &size, 0x1000);
        if (result) *result = got;
        auto entries = SUCCEEDED(got) ? Decode(data, size) : std::vector<Entry>{};
        m_handler->Reset(&setup);
        return entries;
    }
    // ContactOid and ChangeState of a journal record.
    std::pair<CEOID, WORD> Record(CEOID record) {
        CCeDB db;
        db.Open(CONTACTS_JOURNAL_NAME, 0, nullptr, 0, 0, m_volume.Guid());
        EXPECT_EQ(CeSeekDatabase(db.Handle(), CEDB_SEEK_CEOID, record, nullptr), record);
        CEPROPID ids[] = {PROPID_CONTACT_OID, PROPID_CHANGE_STATE};
        WORD count = 2;
        LPBYTE buffer = nullptr;
        DWORD size = 0;
        CeReadRecordPropsEx(db.Handle(), CEDB_ALLOWREALLOC, &count, ids, &buffer, &size, nullptr);
        auto* values = reinterpret_cast<CEPROPVAL*>(buffer);
        std::pair<CEOID, WORD> result{values[0].val.ulVal, values[1].val.uiVal};
        LocalFree(buffer);
        return result;
    }
    WORD EchoEntries() {
        CEGUID objectStore;
        CREATE_SYSTEMGUID(&objectStore);
        CEOIDINFO info{};
        EXPECT_TRUE(CeOidGetInfoEx(&objectStore, m_store->EchoListOid(), &info));
        return info.infDatabase.wNumRecords;
    }
    // A journal record for a contact added by the device's user.
    CEOID Journal(CEOID contact) {
        CCeDB db;
        db.Open(CONTACTS_JOURNAL_NAME, 0, nullptr, 0, 0, m_volume.Guid());
        CEPROPVAL values[2] = {};
        values[0].propid = PROPID_CONTACT_OID;
        values[0].val.ulVal = contact;
        values[1].propid = PROPID_CHANGE_STATE;
        values[1].val.uiVal = CHANGE_PARTNERS;
        return CeWriteRecordProps(db.Handle(), 0, 2, values);
    }

    pal::testing::TempWorld m_other;
    CCeDBVolume m_volume;
    std::unique_ptr<CContactsStore> m_store;
    IReplObjHandler* m_handler = nullptr;
};

class MobileContactsHandlerTest : public ContactsHandlerTest {
protected:
    MobileContactsHandlerTest() : ContactsHandlerTest(5) {}
};

TEST_F(ContactsHandlerTest, ADesktopContactIsCreatedJournaledAndReadBackInTableOrder) {
    PacketWriter packet;
    packet.Begin(0x100);
    packet.Add(kLastName, u"Lee");
    FILETIME birthday = pal_testing::FileTimeOf(1980, 5, 17);
    packet.Add(kBirthday, &birthday);
    packet.Add(kFirstName, u"Ann");
    ULONG other = 7;
    packet.Add(0x12340013, &other);  // not a contact property: skipped
    CEOID record = 0;
    ASSERT_EQ(Store(packet, 0, &record), S_OK);
    ASSERT_NE(record, 0u);
    auto [contactOid, state] = Record(record);
    // Written for partnership 1: changed for partnership 2 only.
    EXPECT_EQ(state, CHANGE_PARTNER2);
    auto contact = emu::poom::FindContact(Device(), contactOid);
    ASSERT_TRUE(contact);
    EXPECT_EQ(std::get<std::u16string>(contact->values.at(kFirstName)), u"Ann");
    EXPECT_EQ(EchoEntries(), 1);

    HRESULT result = S_OK;
    auto entries = Read(record, &result);
    EXPECT_EQ(result, RWRN_LAST_PACKET);
    // The birthday first; no anniversary, which the contact lacks; then the names in table
    // order (first name before last name); nothing for the skipped tag.
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].tag, kBirthday);
    EXPECT_TRUE(entries[0].time == pal_testing::FileTimeOf(1980, 5, 17));
    EXPECT_EQ(entries[1].tag, kFirstName);
    EXPECT_EQ(entries[1].text, u"Ann");
    EXPECT_EQ(entries[2].tag, kLastName);
}

TEST_F(ContactsHandlerTest, ClearMarkersEmptyTextAndDates) {
    CEOID contact =
        emu::poom::AddContact(Device(), {{kFirstName, u"Ann"},
                                         {kEmail2, u"ann@home"},
                                         {kBirthday, pal_testing::FileTimeOf(1980, 5, 17)},
                                         {kAnniversary, pal_testing::FileTimeOf(2001, 6, 2)}});
    CEOID record = Journal(contact);
    PacketWriter packet;
    packet.Begin(0x40);
    packet.Add(ClearMarkerOf(kEmail2), nullptr);
    packet.Add(ClearMarkerOf(kBirthday), nullptr);
    ASSERT_EQ(Store(packet, record), S_OK);
    auto stored = emu::poom::FindContact(Device(), contact);
    ASSERT_TRUE(stored);
    EXPECT_FALSE(stored->values.count(kEmail2));
    EXPECT_FALSE(stored->values.count(kBirthday));
    EXPECT_TRUE(stored->values.count(kAnniversary));
    EXPECT_EQ(Record(record).second, CHANGE_PARTNER2);
}

TEST_F(ContactsHandlerTest, DeletionsOfContactsAlreadyGoneSucceed) {
    CEOID contact = emu::poom::AddContact(Device(), u"Ann");
    CEOID record = Journal(contact);
    REPLSETUP setup{};
    setup.oid = record;
    m_handler->Setup(&setup);
    EXPECT_EQ(m_handler->DeleteObj(&setup), S_OK);
    EXPECT_FALSE(emu::poom::FindContact(Device(), contact));
    // The record stays until the service sees the deletion; the contact is gone already.
    EXPECT_EQ(m_handler->DeleteObj(&setup), S_OK);
    setup.oid = 0x7777;
    EXPECT_EQ(m_handler->DeleteObj(&setup), S_OK);
    m_handler->Reset(&setup);
}

TEST_F(ContactsHandlerTest, UnknownRecordsAndMissingContactsFail) {
    CEOID record = Journal(emu::poom::AddContact(Device(), u"Ann"));
    HRESULT result = S_OK;
    Read(0x7777, &result);
    EXPECT_EQ(result, E_FAIL);
    PacketWriter packet;
    packet.Begin(0x40);
    packet.Add(kFirstName, u"Bob");
    EXPECT_EQ(Store(packet, 0x7777), static_cast<HRESULT>(0x80140100L));
    // A record whose contact is gone: the application's error, and no record changes.
    emu::poom::DeleteContact(Device(), Record(record).first);
    EXPECT_TRUE(FAILED(Store(packet, record)));
    EXPECT_EQ(Record(record).second, CHANGE_PARTNERS);
    EXPECT_EQ(EchoEntries(), 0);
}

TEST_F(ContactsHandlerTest, WithoutAJournalNothingIsWritten) {
    CCeDB db;
    db.Open(CONTACTS_JOURNAL_NAME, 0, nullptr, 0, 0, m_volume.Guid());
    CEOID journal = db.Oid();
    db.Close();
    ASSERT_TRUE(CeDeleteDatabaseEx(m_volume.Guid(), journal));
    PacketWriter packet;
    packet.Begin(0x40);
    packet.Add(kFirstName, u"Ann");
    EXPECT_EQ(Store(packet, 0), static_cast<HRESULT>(0x80140100L));
    EXPECT_TRUE(emu::poom::Contacts(Device()).empty());
    REPLSETUP setup{};
    setup.oid = 1;
    EXPECT_EQ(m_handler->DeleteObj(&setup), E_FAIL);
}

TEST_F(ContactsHandlerTest, OldPlatformsAnswerTwoAndIgnoreExtendedProperties) {
    PacketWriter packet;
    packet.Begin(0x40);
    packet.Add(kNickname, u"Annie");
    packet.Add(kFirstName, u"Ann");
    CEOID record = 0;
    ASSERT_EQ(Store(packet, 0, &record), S_OK);
    auto contact = emu::poom::FindContact(Device(), Record(record).first);
    EXPECT_FALSE(contact->values.count(kNickname));

    BYTE answer[5] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    SDREQUEST request{};
    request.uCode = 5;
    request.lpData = answer + 1;  // unaligned
    request.cbData = 0;
    EXPECT_EQ(m_store->DataRequest(&request), S_OK);
    EXPECT_EQ(request.cbData, 4u);
    EXPECT_EQ(LoadLe32(answer + 1), 2u);
}

TEST_F(MobileContactsHandlerTest, ExtendedPropertiesTravelAndAMarkerDeletesThem) {
    PacketWriter packet;
    packet.Begin(0x40);
    packet.Add(kNickname, u"Nan");
    packet.Add(kFirstName, u"Ann");
    packet.Add(kNickname, u"Annie");  // a later value replaces the earlier one
    packet.Add(kSpouse, u"Sam");
    CEOID record = 0;
    ASSERT_EQ(Store(packet, 0, &record), S_OK);
    CEOID contactOid = Record(record).first;
    EXPECT_EQ(std::get<std::u16string>(
                  emu::poom::FindContact(Device(), contactOid)->values.at(kNickname)),
              u"Annie");
    // The contact and then its extended properties were written: two echo entries.
    EXPECT_EQ(EchoEntries(), 2);
    auto entries = Read(record);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].tag, kFirstName);
    EXPECT_EQ(entries[1].tag, kSpouse);
    EXPECT_EQ(entries[2].tag, kNickname);
    EXPECT_EQ(entries[2].text, u"Annie");

    PacketWriter clear;
    clear.Begin(0x40);
    clear.Add(ClearMarkerOf(kNickname), nullptr);
    ASSERT_EQ(Store(clear, record), S_OK);
    EXPECT_FALSE(emu::poom::FindContact(Device(), contactOid)->values.count(kNickname));
}

TEST_F(MobileContactsHandlerTest, DeviceSyncQueryReadsThePartnershipsSwitch) {
    SDREQUEST request{};
    request.uCode = 5;
    BYTE answer[4] = {};
    request.lpData = answer;
    EXPECT_EQ(m_store->DataRequest(&request), S_OK);
    EXPECT_EQ(LoadLe32(answer), 2u);  // no partnership values

    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, W("Software\\Microsoft\\Windows CE Services\\Partners\\P1"),
                    0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const char16_t source[] = u"{SRC}";
    RegSetValueExW(key, W("DataSourceID"), 0, REG_SZ, reinterpret_cast<const BYTE*>(source),
                   sizeof(source));
    RegCloseKey(key);
    RegCreateKeyExW(HKEY_CURRENT_USER,
                    W("Software\\Microsoft\\ActiveSync\\Partners\\{SRC}\\"
                      "{0DD8685C-E272-4FCB-9ECF-2EAD7EA2497B}"),
                    0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    for (DWORD enabled : {1u, 0u}) {
        RegSetValueExW(key, W("Enabled"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enabled),
                       sizeof(enabled));
        EXPECT_EQ(m_store->DataRequest(&request), S_OK);
        EXPECT_EQ(LoadLe32(answer), enabled ? 7u : 6u);
    }
    // A value of the wrong type is malformed.
    RegSetValueExW(key, W("Enabled"), 0, REG_SZ, reinterpret_cast<const BYTE*>(source),
                   sizeof(source));
    EXPECT_EQ(m_store->DataRequest(&request), S_OK);
    EXPECT_EQ(LoadLe32(answer), 2u);
    RegCloseKey(key);

    // Without a buffer nothing is answered, and no size is claimed for it.
    SDREQUEST bare{};
    bare.uCode = 5;
    EXPECT_EQ(m_store->DataRequest(&bare), S_OK);
    EXPECT_EQ(bare.cbData, 0u);
    // Set requests and other codes are not served.
    request.fSet = TRUE;
    answer[0] = 0x55;
    EXPECT_EQ(m_store->DataRequest(&request), S_OK);
    EXPECT_EQ(answer[0], 0x55);
}

}  // namespace
