#include "emu/cedb/change_feed.h"

#include <mutex>
#include <thread>

#include "cedb_fixture.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"

namespace emu::cedb::testing {
namespace {

class ChangeFeed : public CedbTest {
protected:
    ~ChangeFeed() override { Unsubscribe(m_world.Device(), m_subscription); }
    void Listen() {
        m_subscription = Subscribe(m_world.Device(), [this](const RecordChange& change) {
            std::lock_guard<std::mutex> guard(m_lock);
            m_changes.push_back(change);
        });
    }
    std::mutex m_lock;
    std::vector<RecordChange> m_changes;
    SubscriptionId m_subscription = 0;
};

TEST_F(ChangeFeed, ReportsCreationsChangesAndDeletionsWithTheirDatabaseAndVolume) {
    CEGUID guid = Mount();
    CEOID journal = Create(guid, W("_notif_KT"), kNumber);
    CEGUID system = SystemGuid();
    CEOID contacts = Create(system, W("Contacts Database"));
    Listen();

    HANDLE db = Open(guid, W("_notif_KT"));
    CEOID a = Write(db, 0, {Ui4(kNumber, 1)});
    Write(db, a, {Ui2(kState, 3)});
    CeDeleteRecord(db, a);
    Write(db, 0x7FFFFFFF, {Ui2(kState, 3)});  // fails: nothing reported
    HANDLE store = Open(system, W("Contacts Database"));
    CEOID contact = Write(store, 0, {Text(kText, W("Ann"))});
    CloseHandle(store);
    CloseHandle(db);

    ASSERT_EQ(m_changes.size(), 4u);
    EXPECT_EQ(m_changes[0].kind, ChangeKind::Created);
    EXPECT_EQ(m_changes[1].kind, ChangeKind::Changed);
    EXPECT_EQ(m_changes[2].kind, ChangeKind::Deleted);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m_changes[i].record, a);
        EXPECT_EQ(m_changes[i].database, journal);
        EXPECT_EQ(std::memcmp(&m_changes[i].volume, &guid, sizeof guid), 0);
        EXPECT_FALSE(m_changes[i].InObjectStore());
    }
    EXPECT_EQ(m_changes[3].record, contact);
    EXPECT_EQ(m_changes[3].database, contacts);
    EXPECT_TRUE(m_changes[3].InObjectStore());

    Unsubscribe(m_world.Device(), m_subscription);
    db = Open(guid, W("_notif_KT"));
    Write(db, 0, {Ui4(kNumber, 2)});
    CloseHandle(db);
    EXPECT_EQ(m_changes.size(), 4u);
}

TEST_F(ChangeFeed, AHandlerMayUseTheDatabasesItself) {
    CEGUID guid = Mount();
    Create(guid, W("db"));
    CEOID seen = 0;
    m_subscription = Subscribe(m_world.Device(), [&](const RecordChange& change) {
        CEOIDINFO info;
        if (CeOidGetInfoEx(&guid, change.record, &info) && info.wObjType == OBJTYPE_RECORD)
            seen = change.record;
    });
    HANDLE db = Open(guid, W("db"));
    CEOID oid = Write(db, 0, {Ui4(kNumber, 1)});
    CloseHandle(db);
    EXPECT_EQ(seen, oid);
}

// The provider and the notification service each mount the journal volume and write it from
// threads of their own.
TEST_F(ChangeFeed, TwoMountsOnTwoThreadsWriteTheSameVolume) {
    CEGUID guid = Mount();
    Create(guid, W("_notif_KT"), kNumber);
    Listen();
    constexpr int kPerThread = 200;
    auto work = [&](ULONG base) {
        pal::ScopedContext context(m_world.Device());
        CEGUID mine = Mount();
        HANDLE db = Open(mine, W("_notif_KT"), kNumber);
        for (ULONG i = 0; i < kPerThread; ++i) {
            CEOID oid = Write(db, 0, {Ui4(kNumber, base + i), Ui2(kState, 0)});
            ASSERT_NE(oid, 0u);
            CEPROPVAL key = Ui4(kNumber, base + i);
            ASSERT_EQ(CeSeekDatabase(db, CEDB_SEEK_VALUEFIRSTEQUAL,
                                     reinterpret_cast<DWORD_PTR>(&key), nullptr),
                      oid);
            ASSERT_EQ(Write(db, oid, {Ui2(kState, 3)}), oid);
        }
        CloseHandle(db);
        EXPECT_TRUE(CeFlushDBVol(&mine));
        EXPECT_TRUE(CeUnmountDBVol(&mine));
    };
    std::thread provider(work, 0);
    std::thread service(work, 100000);
    provider.join();
    service.join();

    HANDLE db = Open(guid, W("_notif_KT"), kNumber);
    auto oids = Walk(db);
    EXPECT_EQ(oids.size(), 2u * kPerThread);
    CEOIDINFO info;
    ASSERT_TRUE(CeOidGetInfoEx(&guid, oids.front(), &info));
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_BEGINNING, 0, nullptr), oids.front());
    ASSERT_EQ(Read(db), oids.front());
    EXPECT_EQ(Find(kNumber)->val.ulVal, 0u);
    EXPECT_EQ(Find(kState)->val.uiVal, 3);
    CloseHandle(db);
    std::lock_guard<std::mutex> guard(m_lock);
    EXPECT_EQ(m_changes.size(), 4u * kPerThread);
}

}  // namespace
}  // namespace emu::cedb::testing
