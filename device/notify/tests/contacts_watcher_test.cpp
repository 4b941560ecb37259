// The contacts watcher: reconciliation at start, changes by other programs, the provider's echo
// list, the contacts lock.
#include <pimstore.h>

#include "notify_fixture.h"
#include "pal/runtime/com_registry.h"

namespace {

using notify_testing::JournalRecord;
using notify_testing::NotifyTest;

class ContactsWatcherTest : public NotifyTest {
protected:
    // Adds a contacts journal record as the provider or an earlier service run left it.
    static CEOID AddJournalRecord(ULONG contact, USHORT state) {
        CEGUID volume;
        WCHAR path[] = u"\\kestrin.vol";
        EXPECT_TRUE(CeMountDBVol(&volume, path, OPEN_ALWAYS));
        CEDBASEINFO info{};
        info.dwFlags = CEDB_VALIDNAME | CEDB_VALIDTYPE | CEDB_VALIDSORTSPEC;
        std::u16string name = u"_notif_KT";
        std::copy(name.begin(), name.end(), info.szDbaseName);
        info.dwDbaseType = 12345;
        info.wNumSortOrder = 1;
        info.rgSortSpecs[0] = {notify_testing::kContactOid, 0};
        CeCreateDatabaseEx(&volume, &info);
        CEOID oid = 0;
        HANDLE db = CeOpenDatabaseEx(&volume, &oid, name.data(), 0, 0, nullptr);
        CEPROPVAL values[2] = {};
        values[0].propid = notify_testing::kContactOid;
        values[0].val.ulVal = contact;
        values[1].propid = notify_testing::kChangeState;
        values[1].val.uiVal = state;
        CEOID record = CeWriteRecordProps(db, 0, 2, values);
        CloseHandle(db);
        CeFlushDBVol(&volume);
        CeUnmountDBVol(&volume);
        return record;
    }
    // Puts a contact on the provider's echo list in the object store.
    static void AddEcho(ULONG contact) {
        CEGUID store{};
        CEDBASEINFO info{};
        info.dwFlags = CEDB_VALIDNAME | CEDB_VALIDTYPE | CEDB_VALIDSORTSPEC;
        std::u16string name = u"_notif_KT";
        std::copy(name.begin(), name.end(), info.szDbaseName);
        info.dwDbaseType = 12345;
        info.wNumSortOrder = 1;
        info.rgSortSpecs[0] = {notify_testing::kContactOid, 0};
        CeCreateDatabaseEx(&store, &info);
        CEOID oid = 0;
        HANDLE db = CeOpenDatabaseEx(&store, &oid, name.data(), 0, 0, nullptr);
        CEPROPVAL value{};
        value.propid = notify_testing::kContactOid;
        value.val.ulVal = contact;
        CeWriteRecordProps(db, 0, 1, &value);
        CloseHandle(db);
    }
    static size_t EchoCount() {
        CEGUID store{};
        std::u16string name = u"_notif_KT";
        CEOID oid = 0;
        HANDLE db = CeOpenDatabaseEx(&store, &oid, name.data(), 0, 0, nullptr);
        if (db == INVALID_HANDLE_VALUE) return 0;
        CEOIDINFO info{};
        CeOidGetInfoEx(&store, oid, &info);
        CloseHandle(db);
        return info.infDatabase.wNumRecords;
    }
    bool StateBecomes(CEOID contact, int state) {
        return Eventually([&] { return ContactRecord(contact).state == state; });
    }
};

TEST_F(ContactsWatcherTest, StartRecordsNewContactsAndDropsRecordsOfGoneOnes) {
    CEOID kept = emu::poom::AddContact(m_world.Device(), u"Kept");
    CEOID fresh = emu::poom::AddContact(m_world.Device(), u"Fresh");
    AddJournalRecord(kept, 0x203);
    AddJournalRecord(0x7777, 3);  // a contact deleted while the service did not run
    AddJournalRecord(0, 1);       // a record without a contact stays
    ASSERT_TRUE(Run());
    auto records = Contacts();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(ContactRecord(kept).state, 0x203);
    EXPECT_EQ(ContactRecord(fresh).state, 0);
    EXPECT_EQ(ContactRecord(0).state, 1);
    EXPECT_EQ(ContactRecord(0x7777).state, -2);
}

TEST_F(ContactsWatcherTest, ChangesByOtherProgramsAreJournaledAsTheyHappen) {
    ASSERT_TRUE(Run());
    CEOID ann = emu::poom::AddContact(m_world.Device(), u"Ann");
    ASSERT_TRUE(StateBecomes(ann, 3));
    emu::poom::ChangeContact(m_world.Device(), ann, u"Anne");
    ASSERT_TRUE(StateBecomes(ann, 0x203));
    emu::poom::ChangeContact(m_world.Device(), ann, u"Annie");
    CEOID bob = emu::poom::AddContact(m_world.Device(), u"Bob");
    ASSERT_TRUE(StateBecomes(bob, 3));
    EXPECT_EQ(ContactRecord(ann).state, 0x203);
    emu::poom::DeleteContact(m_world.Device(), ann);
    ASSERT_TRUE(StateBecomes(ann, -2));
    EXPECT_EQ(Contacts().size(), 1u);
}

TEST_F(ContactsWatcherTest, TheProvidersOwnWriteIsConsumedFromTheEchoListOnce) {
    CEOID ann = emu::poom::AddContact(m_world.Device(), u"Ann");
    ASSERT_TRUE(Run());
    ASSERT_EQ(ContactRecord(ann).state, 0);
    AddEcho(ann);
    emu::poom::ChangeContact(m_world.Device(), ann, u"Anne");
    // A later change that is journaled shows the echo has been handled before it.
    CEOID bob = emu::poom::AddContact(m_world.Device(), u"Bob");
    ASSERT_TRUE(StateBecomes(bob, 3));
    EXPECT_EQ(ContactRecord(ann).state, 0);
    EXPECT_EQ(EchoCount(), 0u);
    emu::poom::ChangeContact(m_world.Device(), ann, u"Annie");
    EXPECT_TRUE(StateBecomes(ann, 3));
}

TEST_F(ContactsWatcherTest, AnAbandonedContactsLockIsTakenAndReleased) {
    ASSERT_TRUE(Run());
    HANDLE lock = CreateMutexW(nullptr, FALSE, u"Address{C901BAA6-3A79-4d75-8395-CBF7AD3DDC89}");
    ASSERT_NE(lock, nullptr);
    // A thread that ends owning the lock leaves it abandoned.
    HANDLE owner = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            return WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
        },
        lock, 0, nullptr);
    WaitForSingleObject(owner, INFINITE);
    CloseHandle(owner);
    CEOID ann = emu::poom::AddContact(m_world.Device(), u"Ann");
    ASSERT_TRUE(StateBecomes(ann, 3));
    // The service gives the lock back after its update: free, not abandoned again.
    EXPECT_EQ(WaitForSingleObject(lock, 10000), WAIT_OBJECT_0);
    ReleaseMutex(lock);
    CloseHandle(lock);
}

class WindowsMobileContactsTest : public ContactsWatcherTest {
protected:
    WindowsMobileContactsTest() : m_mobile(pal::WorldOptions{5, 2}) { Use(m_mobile.Device()); }
    void SetUp() override {
        ASSERT_EQ(emu::services::InstallService(m_mobile.Device(),
                                                std::string(VELUMEX_MODULE_DIR) + "/KTnotif.so",
                                                u"\\Windows\\KTnotif.dll"),
                  S_OK);
        emu::poom::Install(m_mobile.Device());
    }
    void TearDown() override { emu::services::ShutDown(m_mobile.Device()); }
    pal::testing::TempWorld m_mobile;
};

TEST_F(WindowsMobileContactsTest, ItemMessagesOfPocketOutlookAreJournaled) {
    ASSERT_EQ(emu::services::Start(m_mobile.Device(), u"KTNotif"), 0u);
    ASSERT_TRUE(Started());
    CEOID ann = emu::poom::AddContact(m_mobile.Device(), u"Ann");
    ASSERT_TRUE(StateBecomes(ann, 3));
    emu::poom::ChangeContact(m_mobile.Device(), ann, u"Anne");
    ASSERT_TRUE(StateBecomes(ann, 0x203));
    emu::poom::DeleteContact(m_mobile.Device(), ann);
    EXPECT_TRUE(StateBecomes(ann, -2));
}

// A contacts application whose session cannot start.
class NoLogonApplication : public IPOutlookApp2 {
public:
    STDMETHODIMP QueryInterface(REFIID, void** object) override {
        AddRef();
        *object = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Logon(long) override { return E_FAIL; }
    STDMETHODIMP Logoff() override { return S_OK; }
    STDMETHODIMP GetDefaultFolder(int, IFolder** folder) override {
        *folder = nullptr;
        return E_FAIL;
    }
    STDMETHODIMP GetItemFromOid(long, IUnknown** item) override {
        *item = nullptr;
        return E_FAIL;
    }
    STDMETHODIMP CreateItem(int, IUnknown** item) override {
        *item = nullptr;
        return E_FAIL;
    }
    STDMETHODIMP GetItemFromOidEx(long, DWORD, IItem** item) override {
        *item = nullptr;
        return E_FAIL;
    }
};

class NoLogonFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID, void** object) override {
        *object = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID riid, void** object) override {
        return m_application.QueryInterface(riid, object);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
    NoLogonApplication m_application;
};

TEST_F(ContactsWatcherTest, AContactsSessionThatCannotStartLeavesTheJournalAsItIs) {
    static NoLogonFactory factory;
    pal::RegisterClassObject(m_world.Device(), CLSID_Application, &factory);
    AddJournalRecord(0x1234, 0);
    AddJournalRecord(0x5678, 3);
    ASSERT_TRUE(Run());
    EXPECT_EQ(Contacts().size(), 2u);
}

}  // namespace
