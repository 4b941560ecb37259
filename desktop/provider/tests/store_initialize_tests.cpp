// Initialize's partnership checks with their message boxes, and the store identifier that
// GetStoreInfo builds from the device's "ID" and the mail client's identity and address book.
#include <cstring>
#include <vector>

#include "../../resources/resource_ids.h"
#include "store_fixture.h"

namespace {

using trellium_testing::StoreTest;

STOREINFO StoreInfo(BYTE* buffer = nullptr, UINT size = 0) {
    STOREINFO info = {};
    info.cbStruct = CBSTRUCT_STOREINFO;
    info.cbMaxStoreId = size;
    info.lpbStoreId = buffer;
    info.cbStoreId = 0xABCD;
    return info;
}

class InitializeTest : public StoreTest {
protected:
    // A connected PocketPC partnership with both of our object types enabled and the device's
    // settings key present.
    InitializeTest() {
        m_id = Partner();
        SetSwitch(m_id, "Message", 0);
        SetSwitch(m_id, "Address", 0);
        CreateDeviceSettings();
        Connect(m_id);
    }
    DWORD m_id = 0;
};

TEST_F(InitializeTest, FirstInitializeBindsMailToThisPartnership) {
    EXPECT_EQ(m_store->Initialize(m_notify, 0), S_OK);
    EXPECT_EQ(DeviceValue(u"MessagePId"), m_id);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(m_store->m_flags & STORE_INITIALIZED, STORE_INITIALIZED);
    // The callback is held once.
    EXPECT_EQ(m_notify->References(), 2u);
    m_store->ReportStatus(nullptr, nullptr, RSC_RELEASE, 0);
    EXPECT_EQ(m_notify->References(), 1u);
}

TEST_F(InitializeTest, MailBoundToTheOtherPartnershipFailsWithMessageNine) {
    DWORD other = Partner();
    SetDeviceValue(u"MessagePId", other);
    EXPECT_EQ(m_store->Initialize(m_notify, 0), VELUMEX_E_MAIL_ELSEWHERE);
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, ResourceText(IDS_MAIL_ELSEWHERE));
    EXPECT_FALSE(boxes[0].text.empty());
    EXPECT_EQ(boxes[0].caption, u"Velumex");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_ICONHAND));
    EXPECT_EQ(DeviceValue(u"MessagePId"), other);
    EXPECT_EQ(m_store->m_flags & STORE_INITIALIZED, 0u);
}

TEST_F(InitializeTest, BothConflictsShowMessagesSevenThenNine) {
    SetDeviceValue(u"MessagePId", Partner());
    AnswerContactsMode(Mode(7));
    EXPECT_EQ(m_store->Initialize(m_notify, 0), VELUMEX_E_BOTH_ELSEWHERE);
    EXPECT_EQ(BoxTexts(), (std::vector<std::u16string>{ResourceText(IDS_CONTACTS_ELSEWHERE),
                                                       ResourceText(IDS_MAIL_ELSEWHERE)}));
}

TEST_F(InitializeTest, RemoteConnectionShowsNoMessage) {
    SetDeviceValue(u"MessagePId", Partner());
    EXPECT_EQ(m_store->Initialize(m_notify, ISF_REMOTE_CONNECTED), VELUMEX_E_MAIL_ELSEWHERE);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(InitializeTest, MailBoundToAPartnershipThatIsGoneIsTakenOver) {
    SetDeviceValue(u"MessagePId", 0x1234);
    EXPECT_EQ(m_store->Initialize(m_notify, 0), S_OK);
    EXPECT_EQ(DeviceValue(u"MessagePId"), m_id);
    SetDeviceValue(u"MessagePId", m_id);
    EXPECT_EQ(m_store->Initialize(m_notify, 0), S_OK);
}

TEST_F(InitializeTest, MailDisabledLeavesTheBindingAlone) {
    SetSwitch(m_id, "Message", 1);
    SetDeviceValue(u"MessagePId", Partner());
    EXPECT_EQ(m_store->Initialize(m_notify, 0), S_OK);
}

TEST_F(InitializeTest, OtherContactsProviderActiveFailsWhileAddressIsEnabled) {
    AnswerContactsMode(Mode(2));
    SetSwitch(m_id, "Contact", 0);
    EXPECT_EQ(m_store->Initialize(m_notify, 0), VELUMEX_E_CONTACTS_ELSEWHERE);
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{ResourceText(IDS_CONTACTS_ELSEWHERE)});

    SetSwitch(m_id, "Address", 1);
    EXPECT_EQ(m_store->Initialize(m_notify, 0), S_OK);
}

TEST_F(InitializeTest, ContactsModesThatAllowOurContacts) {
    for (DWORD mode : {1u, 6u}) {
        AnswerContactsMode(Mode(mode));
        EXPECT_EQ(m_store->Initialize(m_notify, 0), S_OK) << mode;
    }
    // "Contact" disabled on the desktop: the other provider does not run.
    AnswerContactsMode(Mode(2));
    SetSwitch(m_id, "Contact", 1);
    EXPECT_EQ(m_store->Initialize(m_notify, 0), S_OK);
}

TEST_F(InitializeTest, ReplyShorterThanFourBytesCountsAsNoData) {
    AnswerContactsMode({7, 0, 0});
    EXPECT_EQ(m_store->Initialize(m_notify, 0), S_OK);
    AnswerContactsMode({});
    EXPECT_EQ(m_store->Initialize(m_notify, 0), S_OK);
}

TEST_F(InitializeTest, FailedInitializeReplicatesNothing) {
    SetDeviceValue(u"MessagePId", Partner());
    EXPECT_EQ(m_store->Initialize(m_notify, ISF_REMOTE_CONNECTED), VELUMEX_E_MAIL_ELSEWHERE);
    HREPLFLD folder = nullptr;
    IUnknown* handler = nullptr;
    ASSERT_EQ(m_store->GetFolderInfo(const_cast<LPSTR>("Message"), &folder, &handler), S_OK);
    EXPECT_FALSE(m_store->IsItemReplicated(folder, nullptr));
    m_store->FreeObject(folder);
}

TEST_F(StoreTest, WithoutCallbackOrDeviceInitializeSucceedsUnchecked) {
    EXPECT_EQ(m_store->Initialize(nullptr, 0), S_OK);
    EXPECT_EQ(m_store->Initialize(m_notify, 0), S_OK);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(StoreTest, StoreInfoBeforeInitializeLeavesTheIdentifierAlone) {
    BYTE buffer[8];
    STOREINFO info = StoreInfo(buffer, 0);
    EXPECT_EQ(m_store->GetStoreInfo(&info), S_OK);
    EXPECT_STREQ(info.szProgId, "KV.WinCE.OE.3");
    EXPECT_STREQ(info.szStoreDesc, "Outlook Express");
    EXPECT_EQ(info.uFlags, 3u);
    EXPECT_EQ(info.uTimerRes, 5000u);
    EXPECT_EQ(info.cbStoreId, 0xABCDu);

    info.cbStruct = 479;
    EXPECT_EQ(m_store->GetStoreInfo(&info), E_INVALIDARG);
}

class StoreIdTest : public InitializeTest {
protected:
    StoreIdTest() {
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, "Identities", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr);
        RegSetValueExA(key, "Default user ID", 0, REG_SZ, reinterpret_cast<const BYTE*>("{ID-1}"),
                       7);
        RegCloseKey(key);
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\WAB\\WAB4\\Wab File Name", 0,
                        nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\a.wab"), 9);
        RegCloseKey(key);
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients\\Mail\\Outlook Express", 0, nullptr,
                        0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExA(key, "DLLPath", 0, REG_EXPAND_SZ,
                       reinterpret_cast<const BYTE*>("%SystemRoot%\\msoe.dll"), 22);
        RegCloseKey(key);
    }
};

TEST_F(StoreIdTest, IdentifierIsTheDeviceNumberThenIdentityThenAddressBook) {
    ASSERT_EQ(m_store->Initialize(m_notify, 0), S_OK);
    EXPECT_STREQ(m_store->m_clientInfo.m_mapiLibrary, "C:\\Windows\\msoe.dll");

    STOREINFO sizing = StoreInfo();
    EXPECT_EQ(m_store->GetStoreInfo(&sizing), E_OUTOFMEMORY);
    EXPECT_EQ(sizing.cbStoreId, 4u + 6u + 8u);
    STOREINFO noBuffer = StoreInfo(nullptr, 64);
    EXPECT_EQ(m_store->GetStoreInfo(&noBuffer), E_POINTER);
    EXPECT_FALSE(DeviceValue(u"ID").has_value());

    BYTE first[64] = {};
    STOREINFO info = StoreInfo(first, sizeof first);
    ASSERT_EQ(m_store->GetStoreInfo(&info), S_OK);
    ASSERT_EQ(info.cbStoreId, 18u);
    std::optional<DWORD> id = DeviceValue(u"ID");
    ASSERT_TRUE(id.has_value());
    EXPECT_NE(*id, 0u);
    DWORD stored = first[0] | (first[1] << 8) | (first[2] << 16) | (DWORD(first[3]) << 24);
    EXPECT_EQ(stored, *id);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(first) + 4, 14), "{ID-1}C:\\a.wab");

    BYTE second[64] = {};
    STOREINFO again = StoreInfo(second, sizeof second);
    ASSERT_EQ(m_store->GetStoreInfo(&again), S_OK);
    EXPECT_EQ(std::memcmp(first, second, 18), 0);
    EXPECT_EQ(DeviceValue(u"ID"), id);
}

TEST_F(StoreIdTest, ZeroIdOnTheDeviceIsReplaced) {
    SetDeviceValue(u"ID", 0);
    ASSERT_EQ(m_store->Initialize(m_notify, 0), S_OK);
    BYTE buffer[64];
    STOREINFO info = StoreInfo(buffer, sizeof buffer);
    ASSERT_EQ(m_store->GetStoreInfo(&info), S_OK);
    EXPECT_NE(DeviceValue(u"ID").value_or(0), 0u);
}

TEST_F(InitializeTest, MissingDeviceKeyFailsTheIdentifier) {
    ASSERT_EQ(m_store->Initialize(m_notify, 0), S_OK);
    {
        pal::ScopedContext device(m_world.Device());
        RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\Quorvane\\Velumex");
    }
    BYTE buffer[64];
    STOREINFO info = StoreInfo(buffer, sizeof buffer);
    EXPECT_EQ(m_store->GetStoreInfo(&info), E_FAIL);
}

TEST_F(StoreIdTest, WithoutAddressBookTheIdentifierCarriesNoPath) {
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Microsoft\\WAB\\WAB4\\Wab File Name");
    ASSERT_EQ(m_store->Initialize(m_notify, 0), S_OK);
    STOREINFO sizing = StoreInfo();
    EXPECT_EQ(m_store->GetStoreInfo(&sizing), E_OUTOFMEMORY);
    EXPECT_EQ(sizing.cbStoreId, 4u + 6u);
}

TEST_F(StoreIdTest, WithoutMailClientLibraryNoIdentityIsRead) {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients\\Mail\\Outlook Express");
    ASSERT_EQ(m_store->Initialize(m_notify, 0), S_OK);
    EXPECT_STREQ(m_store->m_clientInfo.m_identity, "");
    EXPECT_STREQ(m_store->m_clientInfo.m_mapiLibrary, "");
    EXPECT_STREQ(m_store->m_clientInfo.m_wabFile, "C:\\a.wab");
    EXPECT_EQ(m_store->m_clientInfo.m_noChangeDisplayName, 0u);
}

TEST_F(StoreIdTest, ValuesOfOtherTypesCountAsMissing) {
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, "Identities", 0, KEY_ALL_ACCESS, &key);
    RegSetValueExA(key, "Default user ID", 0, REG_BINARY, reinterpret_cast<const BYTE*>("xy"), 2);
    RegCloseKey(key);
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quorvane\\Velumex", 0, nullptr, 0,
                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    DWORD one = 1;
    RegSetValueExA(key, "NoChangeDisplayName", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                   4);
    RegCloseKey(key);
    ASSERT_EQ(m_store->Initialize(m_notify, 0), S_OK);
    EXPECT_STREQ(m_store->m_clientInfo.m_identity, "");
    EXPECT_EQ(m_store->m_clientInfo.m_noChangeDisplayName, 1u);
}

}  // namespace
