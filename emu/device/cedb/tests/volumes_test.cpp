#include <fstream>

#include "cedb_fixture.h"
#include "pal/runtime/machine.h"

namespace emu::cedb::testing {
namespace {

class Volumes : public CedbTest {};

TEST_F(Volumes, OpenAlwaysCreatesTheFileAndOpenExistingNeedsIt) {
    CEGUID guid;
    EXPECT_FALSE(CeMountDBVol(&guid, const_cast<LPWSTR>(W("\\kestrin.vol")), OPEN_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(std::filesystem::exists(m_world.Device().RootDir() / "kestrin.vol"));

    guid = Mount(W("\\kestrin.vol"), OPEN_ALWAYS);
    EXPECT_FALSE(CHECK_SYSTEMGUID(&guid));
    EXPECT_FALSE(CHECK_INVALIDGUID(&guid));
    EXPECT_TRUE(std::filesystem::exists(m_world.Device().RootDir() / "kestrin.vol"));
    ASSERT_NE(Create(guid, W("_notif_KT")), 0u);
    ASSERT_TRUE(CeUnmountDBVol(&guid));

    CEGUID again = Mount(W("\\KESTRIN.VOL"), OPEN_EXISTING);
    HANDLE db = Open(again, W("_notif_KT"));
    EXPECT_NE(db, INVALID_HANDLE_VALUE);
    CloseHandle(db);
}

TEST_F(Volumes, CreationDispositionsFollowTheFileRules) {
    CEGUID guid = Mount(W("\\a.vol"), CREATE_NEW);
    ASSERT_NE(Create(guid, W("kept")), 0u);
    CEGUID other;
    EXPECT_FALSE(CeMountDBVol(&other, const_cast<LPWSTR>(W("\\a.vol")), CREATE_NEW));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_FALSE(CeMountDBVol(&other, const_cast<LPWSTR>(W("\\a.vol")), CREATE_ALWAYS));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    ASSERT_TRUE(CeUnmountDBVol(&guid));

    EXPECT_FALSE(CeMountDBVol(&other, const_cast<LPWSTR>(W("\\a.vol")), CREATE_NEW));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    // CREATE_ALWAYS starts the volume over.
    guid = Mount(W("\\a.vol"), CREATE_ALWAYS);
    EXPECT_EQ(Open(guid, W("kept")), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    EXPECT_FALSE(CeMountDBVol(&other, const_cast<LPWSTR>(W("\\a.vol")), 5));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(CeMountDBVol(&other, const_cast<LPWSTR>(W("\\missing\\b.vol")), OPEN_ALWAYS));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(CeMountDBVol(&other, const_cast<LPWSTR>(W("")), OPEN_ALWAYS));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(Volumes, AFileThatIsNoVolumeIsRefused) {
    std::ofstream(m_world.Device().RootDir() / "text.vol") << "not a volume at all, just text";
    CEGUID guid;
    EXPECT_FALSE(CeMountDBVol(&guid, const_cast<LPWSTR>(W("\\text.vol")), OPEN_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_FALSE(CeMountDBVol(&guid, const_cast<LPWSTR>(W("\\text.vol")), OPEN_ALWAYS));
}

TEST_F(Volumes, ASecondMountSharesTheGuidAndCountsTheMounts) {
    CEGUID first = Mount();
    CEGUID second = Mount(W("\\Kestrin.vol"), OPEN_EXISTING);
    EXPECT_EQ(std::memcmp(&first, &second, sizeof first), 0);
    ASSERT_NE(Create(first, W("db")), 0u);

    ASSERT_TRUE(CeUnmountDBVol(&first));
    HANDLE db = Open(second, W("db"));
    EXPECT_NE(db, INVALID_HANDLE_VALUE) << "one mount remains";
    CloseHandle(db);
    ASSERT_TRUE(CeUnmountDBVol(&second));

    EXPECT_EQ(Open(second, W("db")), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(CeUnmountDBVol(&second));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // A volume mounted afresh gets a CEGUID of its own.
    CEGUID third = Mount();
    EXPECT_NE(std::memcmp(&first, &third, sizeof first), 0);
}

TEST_F(Volumes, HandlesOfAnUnmountedVolumeStopWorking) {
    CEGUID guid = Mount();
    Create(guid, W("db"));
    HANDLE db = Open(guid, W("db"));
    ASSERT_TRUE(CeUnmountDBVol(&guid));
    EXPECT_EQ(Write(db, 0, {Ui4(kNumber, 1)}), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(db));
}

TEST_F(Volumes, TheObjectStoreIsTheSystemGuidAndLivesInTheMachineFolder) {
    CEGUID system = SystemGuid();
    CEOID oid = Create(system, W("Contacts Database"));
    ASSERT_NE(oid, 0u);
    EXPECT_TRUE(std::filesystem::exists(m_world.Device().Dir() / "objectstore.db"));
    EXPECT_FALSE(CeUnmountDBVol(&system));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    CEGUID invalid;
    CREATE_INVALIDGUID(&invalid);
    EXPECT_EQ(Create(invalid, W("x")), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(Volumes, FlushTakesOneVolumeOrAll) {
    CEGUID guid = Mount();
    CEGUID system = SystemGuid();
    EXPECT_TRUE(CeFlushDBVol(&guid));
    EXPECT_TRUE(CeFlushDBVol(&system));
    EXPECT_TRUE(CeFlushDBVol(nullptr));
    CEGUID invalid;
    CREATE_INVALIDGUID(&invalid);
    EXPECT_FALSE(CeFlushDBVol(&invalid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// Commits wait in a log beside the volume file; a flush folds them into the file it syncs.
TEST_F(Volumes, FlushLeavesEveryCommitInTheVolumeFile) {
    CEGUID guid = Mount();
    ASSERT_NE(Create(guid, W("kept")), 0u);
    auto log = m_world.Device().RootDir() / "kestrin.vol-wal";
    ASSERT_TRUE(std::filesystem::exists(log));
    EXPECT_GT(std::filesystem::file_size(log), 0u);
    EXPECT_TRUE(CeFlushDBVol(&guid));
    EXPECT_EQ(std::filesystem::file_size(log), 0u);
}

}  // namespace
}  // namespace emu::cedb::testing
