// The provider frame: exports, dispatch by type name, size checks, registration.
#include <vector>

#include "provider_fixture.h"

namespace {

TEST_F(ProviderTest, InitObjTypeDispatchesByExactName) {
    IReplObjHandler* handler = nullptr;
    std::u16string lower = u"message";
    EXPECT_FALSE(m_init(lower.data(), &handler, 1));
    std::u16string other = u"Calendar";
    EXPECT_FALSE(m_init(other.data(), &handler, 1));
    EXPECT_EQ(handler, nullptr);
    IReplObjHandler* mail = Init(u"Message");
    IReplObjHandler* contacts = Init(u"Address", 2);
    ASSERT_NE(mail, nullptr);
    ASSERT_NE(contacts, nullptr);
    void* unused = &unused;
    EXPECT_EQ(mail->QueryInterface(IID_IUnknown, &unused), E_NOINTERFACE);
    EXPECT_EQ(unused, nullptr);
    EXPECT_EQ(mail->Release(), 0u);
    EXPECT_EQ(contacts->Release(), 0u);
    EXPECT_TRUE(m_init(nullptr, nullptr, 0));
    EXPECT_TRUE(m_init(nullptr, nullptr, 0));  // nothing left to destroy
}

TEST_F(ProviderTest, UnmountedVolumeRefusesEveryType) {
    FreeLibrary(m_module);
    m_module = nullptr;
    // A folder where the volume file should be: the mount fails, the library still loads.
    ASSERT_TRUE(DeleteFileW(W("\\kestrin.vol")));
    ASSERT_TRUE(CreateDirectoryW(W("\\kestrin.vol"), nullptr));
    Load();
    IReplObjHandler* handler = nullptr;
    std::u16string name = u"Address";
    EXPECT_FALSE(m_init(name.data(), &handler, 1));
    EXPECT_TRUE(m_init(nullptr, nullptr, 0));
}

TEST_F(ProviderTest, SizeChecksComeBeforeAnyStore) {
    Init(u"Address")->Release();
    OBJNOTIFY notify{};
    SetType(notify.szObjType, u"Address");
    notify.uFlags = ONF_CLEAR_CHANGE;
    notify.cbStruct = 779;
    notify.cOidChg = 5;
    EXPECT_FALSE(m_notify(&notify));
    EXPECT_EQ(notify.cOidChg, 5u);  // untouched
    // 780 or more is forwarded; the store then wants exactly 780 (its journal is missing).
    notify.cbStruct = 781;
    EXPECT_FALSE(m_notify(&notify));
    EXPECT_FALSE(m_notify(nullptr));

    OBJTYPEINFO info{};
    SetType(info.szObjType, u"Address");
    info.cbStruct = 388;
    EXPECT_FALSE(m_info(&info));
    info.cbStruct = CBSTRUCT_OBJTYPEINFO;
    EXPECT_FALSE(m_info(&info));  // no journal yet
    CreateJournals();
    AddRecord(CONTACTS_JOURNAL_NAME, 0);
    EXPECT_TRUE(m_info(&info));
    EXPECT_EQ(info.cObjects, 1u);
    EXPECT_EQ(std::u16string(info.szName), u"\\kestrin.vol");
    SetType(info.szObjType, u"Message");  // its store was never created
    EXPECT_FALSE(m_info(&info));
}

TEST_F(ProviderTest, FindObjectsListsAndFreesThroughTheFrame) {
    CreateJournals();
    CEOID kept = AddRecord(MAIL_JOURNAL_NAME, 0);
    CEOID changed = AddRecord(MAIL_JOURNAL_NAME, 2);
    Init(u"Message", 2)->Release();
    FINDOBJINFO find{};
    SetType(find.szObjType, u"Calendar");
    EXPECT_EQ(m_find(&find), E_UNEXPECTED);
    SetType(find.szObjType, u"Address");  // its store was never created
    EXPECT_EQ(m_find(&find), E_UNEXPECTED);
    SetType(find.szObjType, u"Message");
    ASSERT_EQ(m_find(&find), S_OK);
    ASSERT_NE(find.poid, nullptr);
    EXPECT_EQ(std::vector<UINT>(find.poid, find.poid + 2), (std::vector<UINT>{kept, changed}));
    EXPECT_EQ(find.cUnChg, 1u);
    EXPECT_EQ(find.cChg, 1u);
    find.uFlags = FO_DONE_ONE_VOL;
    SetType(find.szObjType, u"Whatever");
    EXPECT_EQ(m_find(&find), S_OK);
    EXPECT_EQ(find.poid, nullptr);
    EXPECT_EQ(m_find(&find), S_OK);  // a null list frees nothing
}

TEST_F(ProviderTest, ObjectNotifyReachesTheStoreOfTheType) {
    CreateJournals();
    CEOID record = AddRecord(MAIL_JOURNAL_NAME, 0x203);
    Init(u"Message")->Release();
    OBJNOTIFY notify{};
    notify.cbStruct = CBSTRUCT_OBJNOTIFY;
    notify.uFlags = ONF_CLEAR_CHANGE;
    notify.oidObject = record;
    SetType(notify.szObjType, u"Address");
    EXPECT_FALSE(m_notify(&notify));
    SetType(notify.szObjType, u"Message");
    EXPECT_TRUE(m_notify(&notify));   // AgainChanged consumed
    EXPECT_FALSE(m_notify(&notify));  // 3 -> 2
    FINDOBJINFO find{};
    SetType(find.szObjType, u"Message");
    ASSERT_EQ(m_find(&find), S_OK);
    EXPECT_EQ(find.cUnChg, 1u);  // unchanged for partnership 1 now
    find.uFlags = FO_DONE_ONE_VOL;
    m_find(&find);
}

TEST_F(ProviderTest, DataRequestsAndStatus) {
    SDREQUEST request{};
    SetType(request.szObjType, u"Other");
    EXPECT_EQ(m_data(&request), E_FAIL);
    SetType(request.szObjType, u"Message");
    EXPECT_EQ(m_data(&request), E_FAIL);  // no store yet
    EXPECT_TRUE(m_status(nullptr, RSC_BEGIN_SYNC, 0));
    EXPECT_TRUE(m_status(nullptr, RSC_END_SYNC, 0));
    EXPECT_TRUE(m_status(nullptr, 99, 0));
}

TEST_F(ProviderTest, EndOfSyncMakesJournalsDurable) {
    CreateJournals();
    CEOID record = AddRecord(MAIL_JOURNAL_NAME, 3);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, W("Software\\Probe"), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(m_status(nullptr, RSC_END_SYNC, 0));
    FreeLibrary(m_module);
    m_module = nullptr;
    CeUnmountDBVol(&m_guid);
    Reopen();
    CEGUID guid;
    WCHAR path[] = KESTRIN_VOLUME_PATH;
    ASSERT_TRUE(CeMountDBVol(&guid, path, OPEN_EXISTING));
    EXPECT_EQ(guid.Data1, m_guid.Data1);
    CEOIDINFO info{};
    EXPECT_TRUE(CeOidGetInfoEx(&guid, record, &info));
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, W("Software\\Probe"), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

class RegistrationTest : public ProviderTest {
protected:
    static std::u16string StoreOf(const char16_t* type) {
        std::u16string path = u"Windows CE Services\\Synchronization\\Objects\\";
        path += type;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return u"<none>";
        WCHAR value[MAX_PATH] = {};
        DWORD size = sizeof(value), kind = 0;
        RegQueryValueExW(key, W("Store"), nullptr, &kind, reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
        return kind == REG_SZ ? std::u16string(value) : u"<not REG_SZ>";
    }
};

TEST_F(RegistrationTest, RegistersBothTypesAndUnregistersThemWithSubkeys) {
    auto reg = Export<HRESULT (*)()>("DllRegisterServer");
    auto unreg = Export<HRESULT (*)()>("DllUnregisterServer");
    EXPECT_EQ(reg(), E_FAIL);  // the engine's key is missing
    EXPECT_EQ(unreg(), S_OK);
    HKEY objects = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, W("Windows CE Services\\Synchronization\\Objects"), 0,
                        nullptr, 0, KEY_ALL_ACCESS, nullptr, &objects, nullptr),
        ERROR_SUCCESS);
    EXPECT_EQ(reg(), S_OK);
    EXPECT_EQ(StoreOf(u"Message"), u"\\Windows\\Kestrin.dll");
    EXPECT_EQ(StoreOf(u"Address"), u"\\Windows\\Kestrin.dll");
    HKEY deep = nullptr;
    ASSERT_EQ(RegCreateKeyExW(objects, W("Address\\Options\\Deeper"), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &deep, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(deep);
    EXPECT_EQ(unreg(), S_OK);
    EXPECT_EQ(StoreOf(u"Message"), u"<none>");
    EXPECT_EQ(StoreOf(u"Address"), u"<none>");
    EXPECT_EQ(unreg(), S_OK);
    RegCloseKey(objects);
}

}  // namespace
