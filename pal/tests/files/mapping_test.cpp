#include <cstring>

#include "file_test_support.h"

namespace pal {
namespace {

using testing::PutFile;

class Mapping : public testing::DeviceTest {};

TEST_F(Mapping, AFileOpenedForMappingIsReadThroughAView) {
    std::string body("m\0e\0s\0s\0a\0g\0e\0\0\0", 16);
    PutFile(u"\\Temp\\42", body);
    HANDLE file = CreateFileForMapping(u"\\Temp\\42", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD size = GetFileSize(file, nullptr);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    // The view outlives both handles until it is unmapped.
    EXPECT_TRUE(CloseHandle(file));
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(CloseHandle(mapping));
    EXPECT_EQ(std::string(static_cast<const char*>(view), size), body);
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view));
    EXPECT_LAST_ERROR(ERROR_INVALID_ADDRESS);
    EXPECT_TRUE(DeleteFileW(u"\\Temp\\42"));
}

TEST_F(Mapping, RefusalsFollowWindows) {
    PutFile(u"\\Temp\\empty", "");
    HANDLE empty =
        CreateFileForMapping(u"\\Temp\\empty", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(CreateFileMappingW(empty, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_LAST_ERROR(ERROR_FILE_INVALID);
    CloseHandle(empty);

    EXPECT_EQ(
        CreateFileForMapping(u"\\Temp\\none", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);

    PutFile(u"\\Temp\\f", "0123456789");
    HANDLE writeOnly = CreateFileW(u"\\Temp\\f", GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(CreateFileMappingW(writeOnly, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
    CloseHandle(writeOnly);

    HANDLE file = CreateFileForMapping(u"\\Temp\\f", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 11, nullptr), nullptr);
    EXPECT_LAST_ERROR(ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, u"Named"), nullptr);
    EXPECT_LAST_ERROR(ERROR_NOT_SUPPORTED);
    EXPECT_EQ(
        CreateFileMappingW(reinterpret_cast<HANDLE>(0x4444), nullptr, PAGE_READONLY, 0, 0, nullptr),
        nullptr);
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);

    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 4, nullptr);
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0), nullptr);
    EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 5), nullptr);
    EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 100, 0), nullptr);
    EXPECT_LAST_ERROR(ERROR_MAPPED_ALIGNMENT);
    EXPECT_EQ(MapViewOfFile(file, FILE_MAP_READ, 0, 0, 0), nullptr);
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
    auto* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(view, 4), "0123");
    CloseHandle(mapping);
    CloseHandle(file);

    // While mapped, the file can be neither cut nor replaced.
    HANDLE writer = CreateFileW(u"\\Temp\\f", GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SetEndOfFile(writer));
    EXPECT_LAST_ERROR(ERROR_USER_MAPPED_FILE);
    CloseHandle(writer);
    EXPECT_EQ(CreateFileW(u"\\Temp\\f", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_USER_MAPPED_FILE);
    EXPECT_TRUE(UnmapViewOfFile(view));
    HANDLE replaced =
        CreateFileW(u"\\Temp\\f", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(replaced, INVALID_HANDLE_VALUE);
    CloseHandle(replaced);
}

TEST_F(Mapping, AMappingSeesTheFileAsItIsWritten) {
    PutFile(u"\\Temp\\live", "aaaa");
    HANDLE file = CreateFileW(u"\\Temp\\live", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    auto* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    DWORD written = 0;
    SetFilePointer(file, 1, nullptr, FILE_BEGIN);
    WriteFile(file, "b", 1, &written, nullptr);
    EXPECT_EQ(std::string(view, 4), "abaa");
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(file);
}

}  // namespace
}  // namespace pal
