#include "file_test_support.h"
#include "pal/sync.h"

namespace pal {
namespace {

using testing::GetFile;
using testing::PutFile;

class DuplicateHandleTest : public testing::DesktopTest {
protected:
    static HANDLE OpenExclusive(const char16_t* path) {
        return CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    }
    static HANDLE Duplicate(HANDLE source, DWORD options = DUPLICATE_SAME_ACCESS) {
        HANDLE copy = nullptr;
        if (!DuplicateHandle(GetCurrentProcess(), source, GetCurrentProcess(), &copy, 0, FALSE,
                             options))
            return nullptr;
        return copy;
    }
};

TEST_F(DuplicateHandleTest, TheCopySharesTheFileAndItsPointer) {
    PutFile(u"C:\\a.txt", "abcdef");
    HANDLE file = OpenExclusive(u"C:\\a.txt");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE copy = Duplicate(file);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, file);

    char buffer[3] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(file, buffer, 2, &got, nullptr));
    ASSERT_TRUE(ReadFile(copy, buffer, 2, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "cd");
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(copy, "XY", 2, &written, nullptr));
    ASSERT_TRUE(CloseHandle(file));
    ASSERT_TRUE(CloseHandle(copy));
    EXPECT_EQ(GetFile(u"C:\\a.txt"), "abcdXY");
}

TEST_F(DuplicateHandleTest, TheFileStaysOpenWithItsSharingUntilTheLastHandleCloses) {
    PutFile(u"C:\\a.txt", "abc");
    HANDLE file = OpenExclusive(u"C:\\a.txt");
    HANDLE copy = Duplicate(file, DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE);
    ASSERT_NE(copy, nullptr);
    // The source went with DUPLICATE_CLOSE_SOURCE.
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
    EXPECT_EQ(OpenExclusive(u"C:\\a.txt"), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
    ASSERT_TRUE(CloseHandle(copy));
    HANDLE again = OpenExclusive(u"C:\\a.txt");
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

TEST_F(DuplicateHandleTest, RefusedRequests) {
    PutFile(u"C:\\a.txt", "abc");
    HANDLE file = OpenExclusive(u"C:\\a.txt");
    HANDLE copy = reinterpret_cast<HANDLE>(0x1234);

    EXPECT_FALSE(DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), &copy,
                                 GENERIC_READ, FALSE, 0));
    EXPECT_LAST_ERROR(ERROR_NOT_SUPPORTED);
    EXPECT_EQ(copy, nullptr);
    EXPECT_FALSE(DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), nullptr, 0, FALSE,
                                 DUPLICATE_SAME_ACCESS));
    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Duplicate(reinterpret_cast<HANDLE>(0x7770)), nullptr);
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
    EXPECT_FALSE(
        DuplicateHandle(file, file, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);

    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(Duplicate(event, DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE), nullptr);
    EXPECT_LAST_ERROR(ERROR_NOT_SUPPORTED);
    // A refused request leaves the source open.
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_TRUE(CloseHandle(file));
}

}  // namespace
}  // namespace pal
