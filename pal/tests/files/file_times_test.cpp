#include <fstream>

#include "file_test_support.h"
#include "pal/runtime/machine.h"

namespace pal {
namespace {

using testing::AsValue;
using testing::PutFile;

constexpr ULONGLONG kDay = 864000000000ULL;
constexpr ULONGLONG kStart = 133000000000000000ULL;  // a morning in 2022, 100 ns units

struct Times {
    ULONGLONG creation, access, write;
};

Times TimesOf(const char16_t* path) {
    HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME creation{}, access{}, write{};
    EXPECT_TRUE(GetFileTime(file, &creation, &access, &write));
    CloseHandle(file);
    return {AsValue(creation), AsValue(access), AsValue(write)};
}

ULONGLONG FoundCreation(const char16_t* path) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(path, &data);
    EXPECT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    return AsValue(data.ftCreationTime);
}

class FileTimes : public testing::DesktopTest {};

TEST_F(FileTimes, CreationAndWritesFollowTheMachineClock) {
    CurrentMachine().FreezeClock(kStart);
    PutFile(u"C:\\t.txt", "one");
    Times made = TimesOf(u"C:\\t.txt");
    EXPECT_EQ(made.creation, kStart);
    EXPECT_EQ(made.write, kStart);

    CurrentMachine().FreezeClock(kStart + kDay);
    HANDLE file = CreateFileW(u"C:\\t.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME write{};
    GetFileTime(file, nullptr, nullptr, &write);
    EXPECT_EQ(AsValue(write), kStart);  // opening writes nothing
    DWORD written = 0;
    WriteFile(file, "two", 3, &written, nullptr);
    GetFileTime(file, nullptr, nullptr, &write);
    EXPECT_EQ(AsValue(write), kStart + kDay);
    CloseHandle(file);

    // Overwriting keeps the creation time and renews the write time.
    CurrentMachine().FreezeClock(kStart + 2 * kDay);
    PutFile(u"C:\\t.txt", "three");
    Times now = TimesOf(u"C:\\T.TXT");
    EXPECT_EQ(now.creation, kStart);
    EXPECT_EQ(now.write, kStart + 2 * kDay);
    EXPECT_EQ(FoundCreation(u"C:\\t.*"), kStart);
}

TEST_F(FileTimes, AnOffsetClockIsUsedToo) {
    CurrentMachine().OffsetClock(-static_cast<LONGLONG>(400 * kDay));
    ULONGLONG before = CurrentMachine().NowUtc();
    PutFile(u"C:\\t.txt", "x");
    ULONGLONG after = CurrentMachine().NowUtc();
    Times times = TimesOf(u"C:\\t.txt");
    EXPECT_GE(times.creation, before);
    EXPECT_LE(times.creation, after);
    EXPECT_GE(times.write, before);
}

TEST_F(FileTimes, TimesSurviveReopeningTheWorld) {
    CurrentMachine().FreezeClock(kStart);
    PutFile(u"C:\\Windows\\keep.txt", "x");
    ASSERT_TRUE(CreateDirectoryW(u"C:\\Folder", nullptr));
    CurrentMachine().FreezeClock(kStart + kDay);
    PutFile(u"C:\\Windows\\KEEP.TXT", "y");
    ASSERT_TRUE(SetFileAttributesW(u"C:\\Windows\\keep.txt", FILE_ATTRIBUTE_HIDDEN));
    CurrentMachine().RealClock();
    Reopen();
    Times times = TimesOf(u"C:\\windows\\keep.txt");
    EXPECT_EQ(times.creation, kStart);
    EXPECT_EQ(times.write, kStart + kDay);
    EXPECT_EQ(GetFileAttributesW(u"C:\\Windows\\keep.txt"),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(FoundCreation(u"C:\\Folder"), kStart);
}

TEST_F(FileTimes, ARecreatedFileIsNewAndHostMadeFilesUseTheirWriteTime) {
    CurrentMachine().FreezeClock(kStart);
    PutFile(u"C:\\t.txt", "x");
    ASSERT_TRUE(DeleteFileW(u"C:\\t.txt"));
    CurrentMachine().FreezeClock(kStart + kDay);
    PutFile(u"C:\\t.txt", "x");
    EXPECT_EQ(TimesOf(u"C:\\t.txt").creation, kStart + kDay);

    // A file replaced behind the layer's back does not inherit the old record.
    CurrentMachine().FreezeClock(kStart);
    PutFile(u"C:\\h.txt", "x");
    auto host = CurrentMachine().RootDir() / "h.txt";
    std::filesystem::remove(host);
    std::ofstream(host) << "made on the host";
    Times times = TimesOf(u"C:\\h.txt");
    EXPECT_NE(times.creation, kStart);
    EXPECT_EQ(times.creation, times.write);
}

TEST_F(FileTimes, CopiesKeepTheWriteTimeAndAreCreatedNow) {
    CurrentMachine().FreezeClock(kStart);
    PutFile(u"C:\\src.txt", "x");
    CurrentMachine().FreezeClock(kStart + kDay);
    ASSERT_TRUE(CopyFileW(u"C:\\src.txt", u"C:\\copy.txt", TRUE));
    Times copy = TimesOf(u"C:\\copy.txt");
    EXPECT_EQ(copy.creation, kStart + kDay);
    EXPECT_EQ(copy.write, kStart);
    // Copying over an existing file keeps that file's creation time.
    CurrentMachine().FreezeClock(kStart + 2 * kDay);
    ASSERT_TRUE(CopyFileW(u"C:\\src.txt", u"C:\\copy.txt", FALSE));
    EXPECT_EQ(TimesOf(u"C:\\copy.txt").creation, kStart + kDay);
}

// Backups are pruned by creation time: the oldest one found must be the one made first, even
// when an older backup was written to later.
TEST_F(FileTimes, OldestBackupIsFoundByCreationTime) {
    ASSERT_TRUE(CreateDirectoryW(u"C:\\Book", nullptr));
    PutFile(u"C:\\Book\\book.wab", "address book");
    const char* names[] = {"C:\\Book\\VelumexBackup.02012026_100000_000.bak",
                           "C:\\Book\\VelumexBackup.01012026_100000_000.bak",
                           "C:\\Book\\VelumexBackup.03012026_100000_000.bak"};
    for (int i = 0; i < 3; ++i) {
        CurrentMachine().FreezeClock(kStart + i * kDay);
        ASSERT_TRUE(CopyFileA("C:\\Book\\book.wab", names[i], FALSE));
    }
    Reopen();
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA("C:\\Book\\VelumexBackup.????????_??????_???.bak", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    std::string oldest = data.cFileName;
    ULONGLONG oldestTime = AsValue(data.ftCreationTime);
    int count = 1;
    while (FindNextFileA(search, &data)) {
        ++count;
        if (AsValue(data.ftCreationTime) < oldestTime) {
            oldest = data.cFileName;
            oldestTime = AsValue(data.ftCreationTime);
        }
    }
    FindClose(search);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(oldest, "VelumexBackup.02012026_100000_000.bak");
    EXPECT_EQ(oldestTime, kStart);
}

}  // namespace
}  // namespace pal
