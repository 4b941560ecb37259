#include "file_test_support.h"

namespace pal {
namespace {

using testing::GetFile;
using testing::PutFile;

class FileIo : public testing::DesktopTest {
protected:
    HANDLE OpenReadWrite(const char16_t* path) {
        HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        return file;
    }
    static std::string Read(HANDLE file, DWORD count) {
        std::string bytes(count, '\0');
        DWORD got = 0xDEAD;
        EXPECT_TRUE(ReadFile(file, bytes.data(), count, &got, nullptr));
        bytes.resize(got);
        return bytes;
    }
};

TEST_F(FileIo, ReadsAndWritesMoveTheFilePointer) {
    HANDLE file = OpenReadWrite(u"C:\\f.bin");
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, "hello world", 11, &written, nullptr));
    EXPECT_EQ(written, 11u);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 11u);
    EXPECT_EQ(SetFilePointer(file, 6, nullptr, FILE_BEGIN), 6u);
    EXPECT_EQ(Read(file, 3), "wor");
    EXPECT_EQ(SetFilePointer(file, -2, nullptr, FILE_CURRENT), 7u);
    EXPECT_EQ(Read(file, 100), "orld");  // a short read at the end
    // At and past the end: success with nothing read.
    EXPECT_EQ(Read(file, 10), "");
    EXPECT_EQ(SetFilePointer(file, 5, nullptr, FILE_END), 16u);
    EXPECT_EQ(Read(file, 10), "");
    // Writing past the end fills the gap with zeros.
    ASSERT_TRUE(WriteFile(file, "!", 1, &written, nullptr));
    EXPECT_EQ(GetFileSize(file, nullptr), 17u);
    CloseHandle(file);
    EXPECT_EQ(GetFile(u"C:\\f.bin"), std::string("hello world\0\0\0\0\0!", 17));
}

TEST_F(FileIo, SetFilePointerRefusesNegativeAndOversizedPositions) {
    HANDLE file = OpenReadWrite(u"C:\\f.bin");
    DWORD written = 0;
    WriteFile(file, "0123456789", 10, &written, nullptr);
    EXPECT_EQ(SetFilePointer(file, -11, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_LAST_ERROR(ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 10u);  // unchanged
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, 3), INVALID_SET_FILE_POINTER);
    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER);

    // 64-bit positions go through the high part.
    LONG high = 1;
    EXPECT_EQ(SetFilePointer(file, 5, &high, FILE_BEGIN), 5u);
    EXPECT_EQ(high, 1);
    EXPECT_LAST_ERROR(NO_ERROR);
    high = 0;
    EXPECT_EQ(SetFilePointer(file, 0, &high, FILE_CURRENT), 5u);
    EXPECT_EQ(high, 1);
    // Without a high part, a position beyond 32 bits fails.
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER);
    // A low part of all ones is a real position: the last error tells.
    high = 0;
    EXPECT_EQ(SetFilePointer(file, -1, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_LAST_ERROR(NO_ERROR);
    EXPECT_EQ(high, 0);
    high = -1;
    EXPECT_EQ(SetFilePointer(file, 0, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_LAST_ERROR(ERROR_NEGATIVE_SEEK);
    CloseHandle(file);
}

TEST_F(FileIo, SetEndOfFileCutsAndExtendsAtThePointer) {
    HANDLE file = OpenReadWrite(u"C:\\f.bin");
    DWORD written = 0;
    WriteFile(file, "0123456789", 10, &written, nullptr);
    SetFilePointer(file, 4, nullptr, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(file));
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(file, &high), 4u);
    EXPECT_EQ(high, 0u);
    SetFilePointer(file, 6, nullptr, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    EXPECT_EQ(GetFile(u"C:\\f.bin"), std::string("0123\0\0", 6));
}

TEST_F(FileIo, HandlesOnlyDoWhatTheirAccessAllows) {
    PutFile(u"C:\\f.bin", "data");
    HANDLE reader = CreateFileW(u"C:\\f.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD count = 99;
    EXPECT_FALSE(WriteFile(reader, "x", 1, &count, nullptr));
    EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(SetEndOfFile(reader));
    EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
    EXPECT_FALSE(FlushFileBuffers(reader));
    EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);

    HANDLE writer = CreateFileW(u"C:\\f.bin", GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    char buffer[4];
    count = 99;
    EXPECT_FALSE(ReadFile(writer, buffer, 4, &count, nullptr));
    EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(FlushFileBuffers(writer));
    CloseHandle(writer);
    CloseHandle(reader);
    EXPECT_EQ(GetFile(u"C:\\f.bin"), "data");
}

TEST_F(FileIo, UnknownAndForeignHandlesAreRefused) {
    DWORD count = 0;
    char buffer[4];
    for (HANDLE bad :
         {INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr), reinterpret_cast<HANDLE>(0x7777)}) {
        EXPECT_FALSE(ReadFile(bad, buffer, 4, &count, nullptr));
        EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
        EXPECT_FALSE(WriteFile(bad, buffer, 4, &count, nullptr));
        EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
        EXPECT_EQ(GetFileSize(bad, nullptr), INVALID_FILE_SIZE);
        EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
        EXPECT_EQ(SetFilePointer(bad, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
        EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
    }
    // A find handle is a handle, but not a file.
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(u"C:\\*", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ReadFile(search, buffer, 4, &count, nullptr));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
    FindClose(search);
    // Closed handles are gone.
    HANDLE file = OpenReadWrite(u"C:\\f.bin");
    CloseHandle(file);
    EXPECT_FALSE(WriteFile(file, "x", 1, &count, nullptr));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
}

TEST_F(FileIo, AppendingLikeALogAfterReopening) {
    // Open-always, move to the end, write: what a log does on each start.
    for (const char* line : {"one\r\n", "two\r\n"}) {
        HANDLE file =
            CreateFileA("C:\\host_log.txt", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        SetFilePointer(file, 0, nullptr, FILE_END);
        DWORD written = 0;
        WriteFile(file, line, 5, &written, nullptr);
        // A reader that shares writing sees the text while the writer is open; one that
        // does not share writing cannot open the file at all.
        HANDLE reader =
            CreateFileW(u"C:\\HOST_LOG.TXT", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(Read(reader, 5), "one\r\n");
        CloseHandle(reader);
        EXPECT_EQ(GetFile(u"C:\\host_log.txt"), "<error 32>");
        CloseHandle(file);
    }
    EXPECT_EQ(GetFile(u"C:\\host_log.txt"), "one\r\ntwo\r\n");
}

}  // namespace
}  // namespace pal
