// The per-type stores: their locks, the handlers' lock bracket and the contacts echo list.
#include <atomic>

#include "contacts_store.h"
#include "journal.h"
#include "mail_store.h"
#include "pal/runtime/thread.h"
#include "pal_testing/temp_world.h"

namespace {

class StoreTest : public pal::testing::DeviceTest {
protected:
    StoreTest() { m_volume.Mount(KESTRIN_VOLUME_PATH, OPEN_ALWAYS); }

    // Whether another thread of the device can take `name` right now.
    bool OthersCanTake(LPCWSTR name) {
        std::atomic<DWORD> result{WAIT_FAILED};
        auto thread = pal::StartThread(m_world.Device(), nullptr, [&] {
            HANDLE lock = CreateMutexW(nullptr, FALSE, name);
            result = WaitForSingleObject(lock, 0);
            if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ReleaseMutex(lock);
            CloseHandle(lock);
            return DWORD{0};
        });
        WaitForThread(*thread);
        return result == WAIT_OBJECT_0;
    }
    static void WaitForThread(pal::Thread& thread) {
        while (!thread.HasEnded()) Sleep(1);
    }

    static CEOID EchoListOid() {
        CEGUID store;
        CREATE_SYSTEMGUID(&store);
        CEOID oid = 0;
        HANDLE db =
            CeOpenDatabaseEx(&store, &oid, const_cast<LPWSTR>(ECHO_LIST_NAME), 0, 0, nullptr);
        if (db == INVALID_HANDLE_VALUE) return 0;
        CloseHandle(db);
        return oid;
    }

    CCeDBVolume m_volume;
};

TEST_F(StoreTest, StoresRefuseBadPartnerBits) {
    CMailStore mail(m_volume);
    CContactsStore contacts(m_volume);
    IReplObjHandler* handler = nullptr;
    EXPECT_FALSE(mail.InitObjType(&handler, 0));
    EXPECT_FALSE(contacts.InitObjType(&handler, 3));
    EXPECT_FALSE(mail.InitObjType(nullptr, 1));
    EXPECT_EQ(handler, nullptr);
}

TEST_F(StoreTest, ContactsStoreKeepsAnEchoListForItsLifetime) {
    EXPECT_EQ(EchoListOid(), 0u);
    {
        CContactsStore store(m_volume);
        EXPECT_EQ(store.PlatformVersion(), m_world.Device().Config().os.major);
        IReplObjHandler* handler = nullptr;
        ASSERT_TRUE(store.InitObjType(&handler, 2));
        EXPECT_EQ(store.PartnerBit(), 2u);
        CEOID oid = EchoListOid();
        ASSERT_NE(oid, 0u);
        EXPECT_EQ(store.EchoListOid(), oid);
        CEGUID objectStore;
        CREATE_SYSTEMGUID(&objectStore);
        CEOIDINFO info{};
        ASSERT_TRUE(CeOidGetInfoEx(&objectStore, oid, &info));
        EXPECT_EQ(info.infDatabase.dwDbaseType, static_cast<DWORD>(JOURNAL_DB_TYPE));
        EXPECT_EQ(info.infDatabase.wNumSortOrder, 1);
        EXPECT_EQ(info.infDatabase.rgSortSpecs[0].propid, PROPID_CONTACT_OID);
        EXPECT_TRUE(store.AddToEchoList(0x1234));
        ASSERT_TRUE(CeOidGetInfoEx(&objectStore, oid, &info));
        EXPECT_EQ(info.infDatabase.wNumRecords, 1);
        // The contacts lock is taken only by a handler writing.
        EXPECT_TRUE(OthersCanTake(CONTACTS_LOCK_NAME));
        REPLSETUP write{};
        handler->Setup(&write);
        EXPECT_FALSE(OthersCanTake(CONTACTS_LOCK_NAME));
        handler->Reset(&write);
        handler->Release();
    }
    EXPECT_EQ(EchoListOid(), 0u);
    EXPECT_TRUE(OthersCanTake(CONTACTS_LOCK_NAME));
}

TEST_F(StoreTest, AnEchoListLeftBehindIsEmptiedAtTheStart) {
    CContactsStore first(m_volume);
    IReplObjHandler* handler = nullptr;
    ASSERT_TRUE(first.InitObjType(&handler, 1));
    handler->Release();
    first.AddToEchoList(5);
    CContactsStore second(m_volume);
    ASSERT_TRUE(second.InitObjType(&handler, 1));
    handler->Release();
    EXPECT_EQ(second.EchoListOid(), first.EchoListOid());
    CEGUID objectStore;
    CREATE_SYSTEMGUID(&objectStore);
    CEOIDINFO info{};
    ASSERT_TRUE(CeOidGetInfoEx(&objectStore, second.EchoListOid(), &info));
    // The stale entry would hide the user's next change of contact 5 from the service.
    EXPECT_EQ(info.infDatabase.wNumRecords, 0);
}

TEST_F(StoreTest, StoresWaitForTheServiceBeforeDroppingTheEchoList) {
    auto store = std::make_unique<CContactsStore>(m_volume);
    IReplObjHandler* handler = nullptr;
    ASSERT_TRUE(store->InitObjType(&handler, 1));
    handler->Release();
    HANDLE serviceHolds = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto service = pal::StartThread(m_world.Device(), nullptr, [&] {
        HANDLE lock = CreateMutexW(nullptr, FALSE, CONTACTS_LOCK_NAME);
        WaitForSingleObject(lock, INFINITE);
        SetEvent(serviceHolds);
        WaitForSingleObject(release, INFINITE);
        // The echo list is still there while the service holds the lock.
        DWORD seen = EchoListOid() != 0;
        ReleaseMutex(lock);
        CloseHandle(lock);
        return seen;
    });
    WaitForSingleObject(serviceHolds, INFINITE);
    auto destroyer = pal::StartThread(m_world.Device(), nullptr, [&] {
        store.reset();
        return DWORD{0};
    });
    Sleep(20);
    SetEvent(release);
    WaitForThread(*service);
    WaitForThread(*destroyer);
    EXPECT_EQ(service->ExitCode(), 1u);
    EXPECT_EQ(EchoListOid(), 0u);
    CloseHandle(serviceHolds);
    CloseHandle(release);
}

}  // namespace
