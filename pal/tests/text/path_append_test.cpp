#include <gtest/gtest.h>

#include <string>

#include "pal/text.h"

namespace {

std::u16string Appended(std::u16string path, const WCHAR* more, BOOL expected = TRUE) {
    WCHAR buffer[MAX_PATH] = {};
    lstrcpyW(buffer, path.c_str());
    EXPECT_EQ(PathAppendW(buffer, more), expected);
    return buffer;
}

TEST(PathAppending, InsertsExactlyOneBackslash) {
    EXPECT_EQ(Appended(u"\\Temp", u"1234"), u"\\Temp\\1234");
    EXPECT_EQ(Appended(u"\\Temp\\", u"1234"), u"\\Temp\\1234");
    EXPECT_EQ(Appended(u"\\Temp", u"\\1234"), u"\\Temp\\1234");
    EXPECT_EQ(Appended(u"\\Temp\\", u"\\\\1234"), u"\\\\1234");  // a UNC more-path replaces
    EXPECT_EQ(Appended(u"\\Program Files", u"Velumex\\KTstart.exe"),
              u"\\Program Files\\Velumex\\KTstart.exe");
    EXPECT_EQ(Appended(u"C:", u"x"), u"C:\\x");
    EXPECT_EQ(Appended(u"C:\\", u"x"), u"C:\\x");
    EXPECT_EQ(Appended(u"\\", u"x"), u"\\x");
    EXPECT_EQ(Appended(u"", u"x"), u"x");
    EXPECT_EQ(Appended(u"C:\\dir", u""), u"C:\\dir");
    EXPECT_EQ(Appended(u"C:\\dir", nullptr), u"C:\\dir");
    EXPECT_EQ(Appended(u"C:\\dir", u"sub\\"), u"C:\\dir\\sub\\");
}

TEST(PathAppending, QualifiedMorePathsReplaceAndDotSegmentsFold) {
    EXPECT_EQ(Appended(u"C:\\dir", u"D:\\other"), u"D:\\other");
    EXPECT_EQ(Appended(u"C:\\a\\b", u"..\\c"), u"C:\\a\\c");
    EXPECT_EQ(Appended(u"C:\\a", u".\\c"), u"C:\\a\\c");
    EXPECT_EQ(Appended(u"C:\\a", u"..\\..\\..\\c"), u"C:\\c");
    EXPECT_EQ(Appended(u"..\\path1\\path2", u"path3"), u"\\path1\\path2\\path3");
}

TEST(PathAppending, FailsWithoutTouchingThePathWhenTheResultWouldNotFit) {
    std::u16string base = u"C:\\" + std::u16string(250, u'd');  // 253 units
    EXPECT_EQ(Appended(base, u"12345"), base + u"\\12345");     // 259 units: fits
    SetLastError(0);
    EXPECT_EQ(Appended(base, u"123456", FALSE), base);  // 260 units: too long
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_FALSE(PathAppendW(nullptr, u"x"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(PathAppending, AnsiFormJoinsTheSameWay) {
    char buffer[MAX_PATH] = "C:\\Documents\\Velumex";
    EXPECT_TRUE(PathAppendA(buffer, "\\Backup\\x\x80.bak"));
    EXPECT_STREQ(buffer, "C:\\Documents\\Velumex\\Backup\\x\x80.bak");
    std::string full(MAX_PATH - 1, 'a');
    EXPECT_FALSE(PathAppendA(full.data(), "b"));
    EXPECT_EQ(full, std::string(MAX_PATH - 1, 'a'));
}

}  // namespace
