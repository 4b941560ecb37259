#include <set>

#include "cedb_fixture.h"
#include "pal/runtime/machine.h"

namespace emu::cedb::testing {
namespace {

class Persistence : public CedbTest {};

TEST_F(Persistence, IdentifiersAndValuesSurviveRemountAndWorldReopen) {
    CEGUID guid = Mount();
    CEOID database = Create(guid, W("_notif_KT"), kNumber);
    HANDLE db = Open(guid, W("_notif_KT"), kNumber);
    CEOID a = Write(db, 0, {Ui4(kNumber, 2), Ui2(kState, 0x203)});
    CEOID b = Write(db, 0, {Ui4(kNumber, 1)});
    CloseHandle(db);
    CEGUID system = SystemGuid();
    CEOID contacts = Create(system, W("Contacts Database"));
    ASSERT_TRUE(CeUnmountDBVol(&guid));

    guid = Mount(W("\\kestrin.vol"), OPEN_EXISTING);
    db = Open(guid, W("_notif_KT"), kNumber);
    EXPECT_EQ(Walk(db), (std::vector<CEOID>{b, a}));
    CloseHandle(db);

    Reopen();
    guid = Mount(W("\\kestrin.vol"), OPEN_EXISTING);
    CEOID reopened = 0;
    db = Open(guid, W("_notif_KT"), kNumber, 0, nullptr, &reopened);
    EXPECT_EQ(reopened, database);
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_CEOID, a, nullptr), a);
    ASSERT_EQ(Read(db), a);
    EXPECT_EQ(Find(kState)->val.uiVal, 0x203);
    // New identifiers continue after the old ones, never reusing them.
    ASSERT_TRUE(CeDeleteRecord(db, b));
    CEOID c = Write(db, 0, {Ui4(kNumber, 3)});
    EXPECT_NE(c, b);
    EXPECT_NE(c, a);
    CloseHandle(db);
    system = SystemGuid();
    EXPECT_EQ(
        Open(system, W("Contacts Database"), 0, 0, nullptr, &reopened) != INVALID_HANDLE_VALUE,
        true);
    EXPECT_EQ(reopened, contacts);
}

TEST_F(Persistence, IdentifiersAreUniqueAcrossTheObjectStoreAndVolumes) {
    std::set<CEOID> seen;
    CEGUID guids[] = {SystemGuid(), Mount(W("\\a.vol")), Mount(W("\\b.vol"))};
    for (CEGUID& guid : guids) {
        CEOID database = Create(guid, W("db"));
        ASSERT_NE(database, 0u);
        EXPECT_TRUE(seen.insert(database).second);
        HANDLE db = Open(guid, W("db"));
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(seen.insert(Write(db, 0, {Ui4(kNumber, 1)})).second);
        CloseHandle(db);
    }
    EXPECT_EQ(seen.count(0), 0u);
}

}  // namespace
}  // namespace emu::cedb::testing
