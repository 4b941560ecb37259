#include "file_test_support.h"

namespace pal {
namespace {

using testing::GetFile;
using testing::PutFile;

class FileOps : public testing::DesktopTest {};

TEST_F(FileOps, DeleteFileHonoursSharingReadOnlyAndFolders) {
    EXPECT_FALSE(DeleteFileW(u"C:\\nothing.txt"));
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(DeleteFileA("C:\\no folder\\nothing.txt"));
    EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(DeleteFileW(u"C:\\Windows"));
    EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);

    PutFile(u"C:\\a.txt", "x");
    HANDLE open = CreateFileW(u"C:\\a.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(DeleteFileW(u"C:\\A.TXT"));
    EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
    CloseHandle(open);

    // An open that shares deletion does not stop it.
    open = CreateFileW(u"C:\\a.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
    EXPECT_TRUE(DeleteFileW(u"C:\\a.txt"));
    EXPECT_EQ(GetFileAttributesW(u"C:\\a.txt"), INVALID_FILE_ATTRIBUTES);
    CloseHandle(open);

    PutFile(u"C:\\ro.txt", "x");
    ASSERT_TRUE(SetFileAttributesA("C:\\ro.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(DeleteFileA("C:\\ro.txt"));
    EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
    ASSERT_TRUE(SetFileAttributesA("C:\\ro.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileA("C:\\ro.txt"));
}

TEST_F(FileOps, CopyFileReplacesOrRefusesAnExistingTarget) {
    PutFile(u"C:\\src.txt", "source");
    PutFile(u"C:\\dst.txt", "old target");
    EXPECT_FALSE(CopyFileA("C:\\src.txt", "C:\\dst.txt", TRUE));
    EXPECT_LAST_ERROR(ERROR_FILE_EXISTS);
    EXPECT_EQ(GetFile(u"C:\\dst.txt"), "old target");
    EXPECT_TRUE(CopyFileA("C:\\SRC.TXT", "C:\\DST.TXT", FALSE));
    EXPECT_EQ(GetFile(u"C:\\dst.txt"), "source");
    EXPECT_TRUE(CopyFileW(u"C:\\src.txt", u"C:\\Windows\\Temp\\new.txt", TRUE));
    EXPECT_EQ(GetFile(u"C:\\Windows\\Temp\\new.txt"), "source");

    EXPECT_FALSE(CopyFileA("C:\\none.txt", "C:\\x.txt", FALSE));
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(CopyFileA("C:\\src.txt", "C:\\no folder\\x.txt", FALSE));
    EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(CopyFileA("C:\\src.txt", "C:\\Windows", FALSE));
    EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CopyFileA("C:\\src.txt", "C:\\src.txt", FALSE));
    EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
    EXPECT_EQ(GetFile(u"C:\\src.txt"), "source");
}

TEST_F(FileOps, CopyFileRespectsOpenFilesAndReadOnlyTargets) {
    PutFile(u"C:\\src.txt", "source");
    PutFile(u"C:\\dst.txt", "target");
    HANDLE writer = CreateFileW(u"C:\\src.txt", GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(CopyFileW(u"C:\\src.txt", u"C:\\dst.txt", FALSE));
    EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
    CloseHandle(writer);

    HANDLE reader = CreateFileW(u"C:\\dst.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(CopyFileW(u"C:\\src.txt", u"C:\\dst.txt", FALSE));
    EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
    CloseHandle(reader);

    SetFileAttributesW(u"C:\\dst.txt", FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(CopyFileW(u"C:\\src.txt", u"C:\\dst.txt", FALSE));
    EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetFile(u"C:\\dst.txt"), "target");

    // A read-only source gives a read-only copy.
    EXPECT_TRUE(CopyFileW(u"C:\\dst.txt", u"C:\\copy.txt", TRUE));
    EXPECT_TRUE(GetFileAttributesW(u"C:\\copy.txt") & FILE_ATTRIBUTE_READONLY);
}

TEST_F(FileOps, AttributesOfFilesAndFolders) {
    EXPECT_EQ(GetFileAttributesA("C:\\"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesA("c:\\windows\\"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesA("C:\\missing.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA("C:\\missing\\x.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);

    PutFile(u"C:\\f.txt", "x");
    EXPECT_EQ(GetFileAttributesW(u"C:\\f.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(SetFileAttributesW(u"C:\\f.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesW(u"C:\\f.txt"),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW(u"C:\\f.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesW(u"C:\\f.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(SetFileAttributesW(u"C:\\none.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);

    // A read-only folder stays usable: files can still be made in it.
    ASSERT_TRUE(CreateDirectoryW(u"C:\\Folder", nullptr));
    ASSERT_TRUE(SetFileAttributesW(u"C:\\folder", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesW(u"C:\\FOLDER"),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
    PutFile(u"C:\\Folder\\inside.txt", "x");
}

TEST_F(FileOps, CreateDirectoryMakesOneLevel) {
    EXPECT_TRUE(CreateDirectoryA("C:\\Data", nullptr));
    EXPECT_FALSE(CreateDirectoryA("C:\\DATA", nullptr));
    EXPECT_LAST_ERROR(ERROR_ALREADY_EXISTS);
    PutFile(u"C:\\file", "x");
    EXPECT_FALSE(CreateDirectoryW(u"C:\\file", nullptr));
    EXPECT_LAST_ERROR(ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryW(u"C:\\a\\b", nullptr));
    EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(CreateDirectoryW(u"C:\\", nullptr));
    EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CreateDirectoryW(u"C:\\data\\Sub", nullptr));
    PutFile(u"C:\\Data\\sub\\x.txt", "nested");
    EXPECT_EQ(GetFile(u"C:\\DATA\\SUB\\X.TXT"), "nested");
}

TEST_F(FileOps, RemoveDirectoryTakesOnlyEmptyFolders) {
    ASSERT_TRUE(CreateDirectoryA("C:\\Data", nullptr));
    PutFile(u"C:\\Data\\x.txt", "x");
    EXPECT_FALSE(RemoveDirectoryA("C:\\data"));
    EXPECT_LAST_ERROR(ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(RemoveDirectoryW(u"C:\\Data\\x.txt"));
    EXPECT_LAST_ERROR(ERROR_DIRECTORY);
    EXPECT_FALSE(RemoveDirectoryW(u"C:\\Nothing"));
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(RemoveDirectoryW(u"C:\\"));
    EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetFile(u"C:\\Data\\x.txt"), "x");
    ASSERT_TRUE(DeleteFileA("C:\\Data\\x.txt"));
    EXPECT_TRUE(RemoveDirectoryA("C:\\DATA"));
    EXPECT_EQ(GetFileAttributesA("C:\\Data"), INVALID_FILE_ATTRIBUTES);
    // The name is free again.
    EXPECT_TRUE(CreateDirectoryA("C:\\Data", nullptr));
}

}  // namespace
}  // namespace pal
