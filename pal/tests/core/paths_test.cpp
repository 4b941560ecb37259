#include <fstream>

#include "pal/errors.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/paths.h"
#include "pal/runtime/process.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

class Paths : public testing::DesktopTest {};

TEST_F(Paths, CanonicalFormFoldsSeparatorsDotsAndRelativeParts) {
    DWORD error = 0;
    Machine& m = CurrentMachine();
    EXPECT_EQ(CanonicalWindowsPath(m, u"c:/Windows\\.\\Temp\\..\\x.txt", error),
              u"C:\\Windows\\x.txt");
    EXPECT_EQ(CanonicalWindowsPath(m, u"\\Program Files", error), u"C:\\Program Files");
    CurrentProcess().SetCurrentDirectory(u"C:\\Windows");
    EXPECT_EQ(CanonicalWindowsPath(m, u"Temp\\a", error), u"C:\\Windows\\Temp\\a");
    EXPECT_EQ(CanonicalWindowsPath(m, u"C:\\", error), u"C:\\");
}

TEST_F(Paths, PathsThatLeaveTheRootOrNameAnotherDriveAreRefused) {
    DWORD error = 0;
    Machine& m = CurrentMachine();
    EXPECT_FALSE(CanonicalWindowsPath(m, u"C:\\..\\etc\\passwd", error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(ResolvePath(m, u"C:\\Windows\\..\\..\\..", error));
    EXPECT_FALSE(CanonicalWindowsPath(m, u"D:\\x", error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_DRIVE));
    EXPECT_FALSE(CanonicalWindowsPath(m, u"C:\\a|b", error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_FALSE(CanonicalWindowsPath(m, u"\\\\server\\share", error));
    Use(m_world.Device());
    EXPECT_FALSE(CanonicalWindowsPath(m_world.Device(), u"C:\\x", error));
}

TEST_F(Paths, ExistingComponentsMatchWithoutCaseAndNewOnesKeepTheirCase) {
    DWORD error = 0;
    Machine& m = CurrentMachine();
    auto host = ResolvePath(m, u"c:\\WINDOWS\\system32\\NewFile.TXT", error);
    ASSERT_TRUE(host);
    EXPECT_EQ(*host, m.RootDir() / "Windows/System32/NewFile.TXT");
    std::ofstream(*host) << "x";
    EXPECT_EQ(*ResolvePath(m, u"C:\\windows\\SYSTEM32\\newfile.txt", error), *host);
    EXPECT_EQ(WindowsPathOf(m, *host), u"C:\\Windows\\System32\\NewFile.TXT");
}

TEST_F(Paths, NonAsciiNamesAreStoredAsUtf8AndMatchedWithoutCase) {
    DWORD error = 0;
    Machine& m = CurrentMachine();
    auto host = ResolvePath(m, u"C:\\Ärger.txt", error);
    std::ofstream(*host) << "x";
    EXPECT_TRUE(std::filesystem::exists(m.RootDir() / "Ärger.txt"));
    EXPECT_EQ(*ResolvePath(m, u"C:\\äRGER.TXT", error), *host);
}

TEST_F(Paths, DevicePathsStartAtBackslash) {
    Use(m_world.Device());
    DWORD error = 0;
    Machine& m = CurrentMachine();
    EXPECT_EQ(*ResolvePath(m, u"\\windows\\kestrin.vol", error), m.RootDir() / "Windows/kestrin.vol");
    EXPECT_EQ(WindowsPathOf(m, m.RootDir() / "Temp"), u"\\Temp");
}

TEST(Encoding, Cp1252CoversItsPunctuationAndLatin1) {
    EXPECT_EQ(Cp1252ToUtf16(static_cast<unsigned char>(0x80)), u'\u20AC');
    EXPECT_EQ(Cp1252ToUtf16(static_cast<unsigned char>(0x9F)), u'\u0178');
    EXPECT_EQ(Cp1252ToUtf16(static_cast<unsigned char>(0xE9)), u'\u00E9');
    EXPECT_EQ(Utf16ToCp1252(u'\u2014'), static_cast<unsigned char>(0x97));
    EXPECT_FALSE(Utf16ToCp1252(u'\u0430'));
    EXPECT_EQ(Utf16ToCp1252(u"a\u0430\u20AC"), "a?\x80");

    // Every byte converts and comes back, in ASCII runs and between them.
    std::string bytes;
    for (int round = 0; round < 3; ++round)
        for (int byte = 0; byte < 256; ++byte) bytes.push_back(static_cast<char>(byte));
    bytes += "plain ascii after the rest";
    std::u16string units = Cp1252ToUtf16(bytes);
    ASSERT_EQ(units.size(), bytes.size());
    EXPECT_EQ(units[0x80], u'\u20AC');
    EXPECT_EQ(units[256 + 0x9F], u'\u0178');
    EXPECT_EQ(Utf16ToCp1252(units), bytes);
    EXPECT_EQ(Utf16ToCp1252(u"abcdefg\u0430hijklmn\u2014"), "abcdefg?hijklmn\x97");
}

TEST(Encoding, Utf8RoundTripsSurrogatePairsAndReplacesGarbage) {
    std::u16string text = u"x\U0001F600\u00E9";
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
    EXPECT_EQ(Utf8ToUtf16("\xC0\x80"), u"\uFFFD\uFFFD");
    // Plain ASCII around a stray byte and a two-byte character keeps its place.
    EXPECT_EQ(Utf8ToUtf16("ab\xC0z\xC3\xA9" "cd"), u"ab\uFFFDz\u00E9cd");
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

TEST(Encoding, CaseFoldingOrdersLikeUppercase) {
    EXPECT_TRUE(EqualsNoCase(u"Straße", u"STRAßE"));
    EXPECT_TRUE(EqualsNoCase(u"éÿ", u"ÉŸ"));
    EXPECT_TRUE(EqualsNoCase(u"привет", u"ПРИВЕТ"));
    EXPECT_LT(CompareNoCase(u"a", u"B"), 0);
    EXPECT_GT(CompareNoCase(u"_", u"a"), 0);  // '_' (0x5F) sorts after 'A' (0x41)
    EXPECT_LT(CompareNoCase(u"ab", u"abc"), 0);
}

}  // namespace
}  // namespace pal
