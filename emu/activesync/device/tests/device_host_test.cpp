// The engine's device half driving the installed provider through the change feed.
#include "activesync/device_host.h"

#include <cedb.h>
#include <gtest/gtest.h>

#include "activesync/provider_install.h"
#include "emu/cemapi/message_stores.h"
#include "pal_testing/temp_world.h"

namespace {

constexpr CEPROPID kContactOid = 0xA0690013;
constexpr CEPROPID kChangeState = 0xA0700012;

class DeviceHostTest : public pal::testing::DeviceTest {
protected:
    void SetUp() override {
        // The Inbox account the mail provider serves.
        emu::cemapi::CreateStore(m_world.Device(), u"Kestrin");
        HKEY account = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Inbox\\Svc\\Kestrin", 0,
                                  nullptr, 0, KEY_ALL_ACCESS, nullptr, &account, nullptr),
                  ERROR_SUCCESS);
        const char16_t name[] = u"Kestrin";
        RegSetValueExW(account, u"FriendlyName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                       sizeof(name));
        RegCloseKey(account);
        ASSERT_EQ(activesync::InstallDeviceProvider(
                      m_world.Device(), std::string(VELUMEX_MODULE_DIR) + "/Kestrin.so"),
                  S_OK);
        // The journals, as the notification service creates them.
        WCHAR path[] = u"\\kestrin.vol";
        ASSERT_TRUE(CeMountDBVol(&m_guid, path, OPEN_ALWAYS));
        m_contacts = Create(u"_notif_KT", kContactOid);
        m_mail = Create(u"_notif_KTMSG", 0);
    }
    void TearDown() override {
        CloseHandle(m_contacts);
        CloseHandle(m_mail);
        CeUnmountDBVol(&m_guid);
    }

    HANDLE Create(const char16_t* name, CEPROPID sort) {
        CEDBASEINFO info{};
        info.dwFlags = CEDB_VALIDNAME | CEDB_VALIDTYPE;
        std::u16string text(name);
        std::copy(text.begin(), text.end(), info.szDbaseName);
        info.dwDbaseType = 12345;
        if (sort) {
            info.dwFlags |= CEDB_VALIDSORTSPEC;
            info.wNumSortOrder = 1;
            info.rgSortSpecs[0] = {sort, 0};
        }
        EXPECT_NE(CeCreateDatabaseEx(&m_guid, &info), 0u);
        CEOID oid = 0;
        return CeOpenDatabaseEx(&m_guid, &oid, text.data(), sort, 0, nullptr);
    }
    CEOID Write(HANDLE db, CEOID record, USHORT state, ULONG contact = 0) {
        CEPROPVAL values[2] = {};
        values[0].propid = kChangeState;
        values[0].val.uiVal = state;
        values[1].propid = kContactOid;
        values[1].val.ulVal = contact;
        return CeWriteRecordProps(db, record, db == m_contacts ? 2 : 1, values);
    }

    CEGUID m_guid{};
    HANDLE m_contacts = INVALID_HANDLE_VALUE;
    HANDLE m_mail = INVALID_HANDLE_VALUE;
};

TEST_F(DeviceHostTest, LoadsRegisteredProvidersAndListsTheirObjects) {
    std::vector<CEOID> records;
    for (USHORT state : {0, 1, 2, 3, 0x203}) records.push_back(Write(m_mail, 0, state));
    activesync::DeviceHost host(m_world.Device(), 1, {u"Message", u"Address", u"Calendar"});
    EXPECT_EQ(host.Loaded(), (std::vector<std::u16string>{u"Address", u"Message"}));
    EXPECT_NE(host.Handler(u"Message"), nullptr);
    auto list = host.FindObjects(u"Message");
    ASSERT_EQ(list.result, S_OK);
    EXPECT_EQ(list.unchanged, (std::vector<UINT>{records[0], records[2]}));
    EXPECT_EQ(list.changed, (std::vector<UINT>{records[4], records[3], records[1]}));
    EXPECT_EQ(host.FindObjects(u"Calendar").result, E_UNEXPECTED);
    OBJTYPEINFO info{};
    ASSERT_TRUE(host.GetObjTypeInfo(u"Message", info));
    EXPECT_EQ(info.cObjects, 5u);
    EXPECT_TRUE(host.ReportStatus(u"", RSC_END_SYNC, 0));
}

TEST_F(DeviceHostTest, ChangeFeedBecomesAdmittedChangesAndDeletions) {
    CEOID contact = Write(m_contacts, 0, 0, 77);
    CEOID message = Write(m_mail, 0, 0);
    activesync::DeviceHost host(m_world.Device(), 2, {u"Message", u"Address"});
    // The service journals a device change for both partnerships.
    Write(m_contacts, contact, 3, 77);
    Write(m_mail, message, 1);  // changed for partnership 1 only
    auto contacts = host.TakeChanges(u"Address");
    EXPECT_EQ(contacts.changed, (std::set<UINT>{contact}));
    EXPECT_TRUE(host.TakeChanges(u"Message").changed.empty());

    // The engine is done with the contact: partnership 2's bit goes, 1's stays.
    auto cleared = host.ClearChange(u"Address", contact);
    EXPECT_FALSE(cleared.admitted);
    auto list = host.FindObjects(u"Address");
    EXPECT_EQ(list.unchanged, (std::vector<UINT>{contact}));
    // The provider's own write-back is not a change for this partnership.
    EXPECT_TRUE(host.TakeChanges(u"Address").changed.empty());

    ASSERT_TRUE(CeDeleteRecord(m_contacts, contact));
    auto deleted = host.TakeChanges(u"Address");
    EXPECT_EQ(deleted.deleted, (std::set<UINT>{contact}));
    EXPECT_TRUE(deleted.changed.empty());
}

TEST_F(DeviceHostTest, AgainChangedContactStaysChangedAfterItsClear) {
    CEOID contact = Write(m_contacts, 0, 0x203, 5);
    activesync::DeviceHost host(m_world.Device(), 1, {u"Address"});
    auto cleared = host.ClearChange(u"Address", contact);
    EXPECT_TRUE(cleared.admitted);
    // Written back as 3, which the feed offers again: still changed for partnership 1.
    EXPECT_EQ(host.TakeChanges(u"Address").changed, (std::set<UINT>{contact}));
    EXPECT_EQ(host.FindObjects(u"Address").changed, (std::vector<UINT>{contact}));
}

TEST_F(DeviceHostTest, UnregisteredProviderIsNotLoaded) {
    HKEY objects = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, activesync::kDeviceObjectsKey, 0, KEY_ALL_ACCESS,
                            &objects),
              ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyW(objects, u"Message"), ERROR_SUCCESS);
    RegCloseKey(objects);
    activesync::DeviceHost host(m_world.Device(), 1, {u"Message", u"Address"});
    EXPECT_EQ(host.Loaded(), (std::vector<std::u16string>{u"Address"}));
    EXPECT_THROW(activesync::DeviceHost(m_world.Device(), 3, {u"Address"}),
                 activesync::DeviceHostError);
}

TEST_F(DeviceHostTest, ProvidersAreCalledOnAThreadThatIsInCom) {
    // Providers create their platform objects (the contacts application) through COM at load.
    activesync::DeviceHost host(m_world.Device(), 1, {u"Address"});
    HRESULT again = E_FAIL;
    host.Run([&] {
        again = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(again)) CoUninitialize();
    });
    EXPECT_EQ(again, S_FALSE);
}

}  // namespace
