#include <filesystem>
#include <fstream>

#include "file_test_support.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"

namespace pal {
namespace {

using testing::GetFile;
using testing::PutFile;

class CreateFileTest : public testing::DesktopTest {
protected:
    static HANDLE Open(const char16_t* path, DWORD access, DWORD share, DWORD disposition) {
        return CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    }
};

TEST_F(CreateFileTest, EachDispositionOnAMissingFile) {
    SetLastError(ERROR_INVALID_DATA);
    HANDLE created = Open(u"C:\\new.txt", GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_SUCCESS);
    CloseHandle(created);

    for (DWORD disposition : {CREATE_ALWAYS, OPEN_ALWAYS}) {
        DeleteFileW(u"C:\\new.txt");
        SetLastError(ERROR_INVALID_DATA);
        HANDLE file = Open(u"C:\\new.txt", GENERIC_WRITE, 0, disposition);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << disposition;
        EXPECT_LAST_ERROR(ERROR_SUCCESS);
        CloseHandle(file);
    }
    DeleteFileW(u"C:\\new.txt");
    for (DWORD disposition : {OPEN_EXISTING, TRUNCATE_EXISTING}) {
        EXPECT_EQ(Open(u"C:\\new.txt", GENERIC_WRITE, 0, disposition), INVALID_HANDLE_VALUE);
        EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
    }
    EXPECT_EQ(Open(u"C:\\missing\\new.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(Open(u"C:\\missing\\new.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesW(u"C:\\new.txt"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CreateFileTest, EachDispositionOnAnExistingFile) {
    PutFile(u"C:\\data.bin", "0123456789");

    EXPECT_EQ(Open(u"C:\\data.bin", GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_FILE_EXISTS);

    HANDLE file = Open(u"C:\\data.bin", GENERIC_READ, 0, OPEN_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileSize(file, nullptr), 10u);
    CloseHandle(file);

    SetLastError(ERROR_INVALID_DATA);
    file = Open(u"C:\\data.bin", GENERIC_READ, 0, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_SUCCESS);
    CloseHandle(file);

    file = Open(u"C:\\data.bin", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileSize(file, nullptr), 0u);
    CloseHandle(file);

    PutFile(u"C:\\data.bin", "abc");
    SetLastError(ERROR_INVALID_DATA);
    file = Open(u"C:\\data.bin", GENERIC_WRITE, 0, TRUNCATE_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_SUCCESS);
    EXPECT_EQ(GetFileSize(file, nullptr), 0u);
    CloseHandle(file);
}

TEST_F(CreateFileTest, BadParametersAreRefused) {
    PutFile(u"C:\\a.txt", "x");
    EXPECT_EQ(Open(u"C:\\a.txt", GENERIC_READ, 0, 0), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Open(u"C:\\a.txt", GENERIC_READ, 0, 6), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER);
    // Truncation needs write access.
    EXPECT_EQ(Open(u"C:\\a.txt", GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Open(u"C:\\a.txt", GENERIC_READ, 0x8, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetFile(u"C:\\a.txt"), "x");
}

TEST_F(CreateFileTest, FoldersCannotBeOpenedAsFiles) {
    for (const char16_t* path : {u"C:\\Windows", u"C:\\"}) {
        EXPECT_EQ(Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
        EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
    }
    EXPECT_EQ(Open(u"C:\\Windows", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
}

TEST_F(CreateFileTest, FilesCreatedInMixedCaseOpenInAnyCase) {
    PutFile(u"C:\\Windows\\Temp\\MixedCase.Dat", "payload");
    EXPECT_EQ(GetFile(u"c:\\WINDOWS\\temp\\mixedcase.DAT"), "payload");
    HANDLE file = Open(u"C:\\windows\\TEMP\\MIXEDCASE.DAT", GENERIC_WRITE, 0, OPEN_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_ALREADY_EXISTS);
    CloseHandle(file);
    // Still one file, in the case it was created with.
    auto folder = CurrentMachine().RootDir() / "Windows/Temp";
    EXPECT_TRUE(std::filesystem::exists(folder / "MixedCase.Dat"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

TEST_F(CreateFileTest, AnsiNamesUseWindows1252) {
    HANDLE file = CreateFileA("C:\\caf\xE9 \x80.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_TRUE(std::filesystem::exists(CurrentMachine().RootDir() / "café €.txt"));
    EXPECT_NE(GetFileAttributesW(u"C:\\CAFÉ €.TXT"), INVALID_FILE_ATTRIBUTES);
    std::string tooLong = "C:\\" + std::string(MAX_PATH, 'a');
    EXPECT_EQ(CreateFileA(tooLong.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_FILENAME_EXCED_RANGE);
}

TEST_F(CreateFileTest, PathsLeavingTheMachineRootTouchNothingOutside) {
    auto outside = m_world.Dir() / "outside.txt";
    for (const char16_t* path : {u"C:\\..\\outside.txt", u"C:\\Windows\\..\\..\\..\\outside.txt",
                                 u"..\\..\\..\\outside.txt"}) {
        EXPECT_EQ(Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
        EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
        EXPECT_EQ(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES);
        EXPECT_FALSE(DeleteFileW(path));
    }
    EXPECT_FALSE(std::filesystem::exists(outside));
    std::ofstream(outside) << "host";
    EXPECT_FALSE(CopyFileW(u"C:\\..\\outside.txt", u"C:\\inside.txt", FALSE));
    EXPECT_EQ(Open(u"D:\\x.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_INVALID_DRIVE);
    EXPECT_EQ(Open(u"C:\\bad|name.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_INVALID_NAME);
    EXPECT_EQ(Open(u"", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);
}

TEST_F(CreateFileTest, ReadOnlyFilesRefuseWritingOpensButAllowReading) {
    HANDLE file = CreateFileW(u"C:\\ro.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_READONLY, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "abc", 3, &written, nullptr));  // the creating handle writes
    CloseHandle(file);
    EXPECT_EQ(GetFileAttributesW(u"C:\\ro.txt"),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    for (DWORD disposition : {OPEN_EXISTING, OPEN_ALWAYS, CREATE_ALWAYS, TRUNCATE_EXISTING}) {
        EXPECT_EQ(Open(u"C:\\ro.txt", GENERIC_WRITE, 0, disposition), INVALID_HANDLE_VALUE);
        EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
    }
    EXPECT_EQ(Open(u"C:\\ro.txt", GENERIC_READ, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetFile(u"C:\\ro.txt"), "abc");
}

TEST_F(CreateFileTest, OverwritingAHiddenFileMustKeepItHidden) {
    PutFile(u"C:\\h.txt", "x");
    ASSERT_TRUE(SetFileAttributesW(u"C:\\h.txt", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(Open(u"C:\\h.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
    HANDLE file = CreateFileW(u"C:\\h.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_HIDDEN, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

// The share-mode matrix: an open fails when its access is not shared by an earlier open, or
// when its sharing refuses an earlier open's access.
struct ShareCase {
    const char* name;
    DWORD firstAccess, firstShare, secondAccess, secondShare;
    bool allowed;
};

void PrintTo(const ShareCase& c, std::ostream* out) { *out << c.name; }

class ShareModes : public CreateFileTest, public ::testing::WithParamInterface<ShareCase> {};

TEST_P(ShareModes, SecondOpenFollowsTheSharingRules) {
    const ShareCase& c = GetParam();
    PutFile(u"C:\\shared.txt", "x");
    HANDLE first = Open(u"C:\\shared.txt", c.firstAccess, c.firstShare, OPEN_EXISTING);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    HANDLE second = Open(u"C:\\SHARED.TXT", c.secondAccess, c.secondShare, OPEN_EXISTING);
    if (c.allowed) {
        EXPECT_NE(second, INVALID_HANDLE_VALUE);
        CloseHandle(second);
    } else {
        EXPECT_EQ(second, INVALID_HANDLE_VALUE);
        EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
    }
    CloseHandle(first);
    // Closing the first handle lifts its restrictions.
    HANDLE again = Open(u"C:\\shared.txt", c.secondAccess, c.secondShare, OPEN_EXISTING);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

constexpr DWORD R = GENERIC_READ, Wr = GENERIC_WRITE, SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE;
INSTANTIATE_TEST_SUITE_P(
    Matrix, ShareModes,
    ::testing::Values(ShareCase{"ReadThenRead", R, SR, R, SR, true},
                      ShareCase{"FirstSharesNothing", R, 0, R, SR, false},
                      ShareCase{"SecondRefusesTheFirstsRead", R, SR, R, 0, false},
                      ShareCase{"WriteNotSharedByTheReader", R, SR, Wr, SR, false},
                      ShareCase{"ReaderRefusesTheWriter", Wr, SR, R, SR, false},
                      ShareCase{"WriterAndReaderShareBoth", Wr, SR | SW, R, SR | SW, true},
                      ShareCase{"ReaderSharesWritingWithAWriter", R, SR | SW, Wr, SR, true},
                      ShareCase{"WriteThenWriteSharingWrites", Wr, SW, Wr, SW, true},
                      ShareCase{"ReadWriteThenReaderNotSharingWrites", R | Wr, SR | SW, R, SR,
                                false},
                      ShareCase{"NoDataAccessFirst", 0, 0, R | Wr, 0, true},
                      ShareCase{"NoDataAccessSecond", R | Wr, 0, 0, 0, true}),
    [](const ::testing::TestParamInfo<ShareCase>& info) { return std::string(info.param.name); });

TEST_F(CreateFileTest, SharingIsEnforcedAcrossProcessesOfOneMachineOnly) {
    PutFile(u"C:\\log.txt", "x");
    HANDLE mine = Open(u"C:\\log.txt", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(mine, INVALID_HANDLE_VALUE);
    auto other = CurrentMachine().CreateProcess(u"C:\\Windows\\other.exe");
    {
        ScopedContext inOther(CurrentMachine(), other);
        EXPECT_EQ(Open(u"C:\\log.txt", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING),
                  INVALID_HANDLE_VALUE);
        EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
        HANDLE reader =
            Open(u"C:\\log.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
        ASSERT_NE(reader, INVALID_HANDLE_VALUE);
        // A handle of one process means nothing in another.
        EXPECT_FALSE(CloseHandle(mine));
        EXPECT_TRUE(CloseHandle(reader));
    }
    // The same Windows path on the device is another file altogether.
    {
        ScopedContext onDevice(m_world.Device());
        HANDLE device = Open(u"\\log.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
        EXPECT_NE(device, INVALID_HANDLE_VALUE);
        CloseHandle(device);
    }
    CloseHandle(mine);
}

TEST_F(CreateFileTest, HandlesLeftOpenByAnEndedProcessStopBlocking) {
    PutFile(u"C:\\held.txt", "x");
    auto other = CurrentMachine().CreateProcess(u"C:\\Windows\\other.exe");
    {
        ScopedContext inOther(CurrentMachine(), other);
        ASSERT_NE(Open(u"C:\\held.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    }
    EXPECT_FALSE(DeleteFileW(u"C:\\held.txt"));
    EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
    other->Handles().TakeAll();  // what process teardown does
    EXPECT_TRUE(DeleteFileW(u"C:\\held.txt"));
}

}  // namespace
}  // namespace pal
