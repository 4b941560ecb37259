#include <set>
#include <vector>

#include "file_test_support.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"

namespace pal {
namespace {

using testing::PutFile;

class FindFiles : public testing::DesktopTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateDirectoryW(u"C:\\Box", nullptr));
        ASSERT_TRUE(CreateDirectoryW(u"C:\\Box\\Sub.Dir", nullptr));
        for (const char16_t* name :
             {u"C:\\Box\\a.txt", u"C:\\Box\\B.TXT", u"C:\\Box\\c.txt.bak", u"C:\\Box\\noext",
              u"C:\\Box\\x1.bak", u"C:\\Box\\X22.BAK", u"C:\\Box\\y.bakx", u"C:\\Box\\z"})
            PutFile(name, "12345");
    }
    // The names FindFirstFileA / FindNextFileA give for a pattern, in their order, or the
    // error of FindFirstFileA.
    static std::vector<std::string> List(const char* pattern) {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data;
        HANDLE search = FindFirstFileA(pattern, &data);
        if (search == INVALID_HANDLE_VALUE) return {"error " + std::to_string(GetLastError())};
        do names.push_back(data.cFileName);
        while (FindNextFileA(search, &data));
        EXPECT_LAST_ERROR(ERROR_NO_MORE_FILES);
        EXPECT_TRUE(FindClose(search));
        return names;
    }
    using Names = std::vector<std::string>;
};

TEST_F(FindFiles, StarAndStarDotStarListEverythingInCaseInsensitiveOrder) {
    Names all = {".",       "..",     "a.txt",   "B.TXT",  "c.txt.bak", "noext",
                 "Sub.Dir", "x1.bak", "X22.BAK", "y.bakx", "z"};
    EXPECT_EQ(List("C:\\Box\\*"), all);
    EXPECT_EQ(List("C:\\box\\*.*"), all);
    EXPECT_EQ(List("C:/BOX/*"), all);
}

TEST_F(FindFiles, ExtensionsQuestionMarksAndExactNames) {
    EXPECT_EQ(List("C:\\Box\\*.bak"), (Names{"c.txt.bak", "x1.bak", "X22.BAK"}));
    EXPECT_EQ(List("C:\\Box\\*.TXT"), (Names{"a.txt", "B.TXT"}));
    EXPECT_EQ(List("C:\\Box\\?"), (Names{"z"}));
    EXPECT_EQ(List("C:\\Box\\x?.bak"), (Names{"x1.bak"}));
    // A run of '?' also matches fewer characters before a dot.
    EXPECT_EQ(List("C:\\Box\\x??.bak"), (Names{"x1.bak", "X22.BAK"}));
    EXPECT_EQ(List("C:\\Box\\*."), (Names{".", "..", "noext", "z"}));
    EXPECT_EQ(List("C:\\Box\\b.txt"), (Names{"B.TXT"}));
    EXPECT_EQ(List("C:\\Box\\Sub.Dir\\..\\A.TXT"), (Names{"a.txt"}));
    EXPECT_EQ(List("C:\\Box\\sub.dir"), (Names{"Sub.Dir"}));
}

TEST_F(FindFiles, TheBackupPatternFindsOnlyBackupNames) {
    ASSERT_TRUE(CreateDirectoryW(u"C:\\Book", nullptr));
    for (const char16_t* name :
         {u"C:\\Book\\VelumexBackup.06122026_161935_000.bak",
          u"C:\\Book\\velumexbackup.06122026_161935_001.BAK",
          u"C:\\Book\\VelumexBackup.06122026_161935_000.bak.old",
          u"C:\\Book\\VelumexBackup.0612202_161935_000.bak", u"C:\\Book\\book.wab"})
        PutFile(name, "x");
    EXPECT_EQ(
        List("C:\\Book\\VelumexBackup.????????_??????_???.bak"),
        (Names{"VelumexBackup.06122026_161935_000.bak", "velumexbackup.06122026_161935_001.BAK"}));
}

TEST_F(FindFiles, FailuresTellNothingMatchedFromNoFolder) {
    EXPECT_EQ(List("C:\\Box\\*.doc"), (Names{"error 2"}));
    EXPECT_EQ(List("C:\\NoBox\\*"), (Names{"error 3"}));
    EXPECT_EQ(List("C:\\Box\\a.txt\\*"), (Names{"error 3"}));
    EXPECT_EQ(List("C:\\Box\\"), (Names{"error 2"}));
    EXPECT_EQ(List("C:\\Box\\a|*"), (Names{"error 123"}));
    EXPECT_EQ(List("C:\\..\\*"), (Names{"error 5"}));
    WIN32_FIND_DATAW data;
    EXPECT_FALSE(FindNextFileW(INVALID_HANDLE_VALUE, &data));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FindClose(reinterpret_cast<HANDLE>(0x4444)));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
}

TEST_F(FindFiles, FindDataDescribesEachEntry) {
    CurrentMachine().FreezeClock(133000000000000000ULL);
    PutFile(u"C:\\Box\\fresh.dat", "12345");
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(u"C:\\Box\\s*", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::u16string(data.cFileName), u"Sub.Dir");
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(data.cAlternateFileName[0], 0);
    FindClose(search);
    search = FindFirstFileW(u"C:\\Box\\FRESH.DAT", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(std::u16string(data.cFileName), u"fresh.dat");
    EXPECT_EQ(testing::AsValue(data.ftCreationTime), 133000000000000000ULL);
    EXPECT_EQ(testing::AsValue(data.ftLastWriteTime), 133000000000000000ULL);
    EXPECT_FALSE(FindNextFileW(search, &data));
    EXPECT_LAST_ERROR(ERROR_NO_MORE_FILES);
    FindClose(search);
}

TEST_F(FindFiles, RelativePatternsAndAnsiNames) {
    PutFile(u"C:\\Box\\caf\u00E9.txt", "x");
    CurrentProcess().SetCurrentDirectory(u"C:\\Box");
    EXPECT_EQ(List("*.txt"), (Names{"a.txt", "B.TXT", "caf\xE9.txt"}));
    EXPECT_EQ(List("CAF\xC9.*"), (Names{"caf\xE9.txt"}));
}

TEST_F(FindFiles, DeviceFoldersListNoDotEntries) {
    Use(m_world.Device());
    PutFile(u"\\Temp\\m1", "x");
    PutFile(u"\\Temp\\m2", "x");
    EXPECT_EQ(List("\\Temp\\*"), (Names{"m1", "m2"}));
    // Root folders have no dot entries on the desktop either.
    Use(m_world.Desktop());
    for (const auto& name : List("C:\\*")) EXPECT_NE(name.front(), '.');
}

}  // namespace
}  // namespace pal
