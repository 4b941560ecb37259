#include <cstring>

#include "pal/registry.h"
#include "pal/runtime/machine.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

class ExpandEnvironment : public testing::DesktopTest {
protected:
    std::u16string Expand(const char16_t* source) {
        WCHAR buffer[512];
        DWORD n = ExpandEnvironmentStringsW(source, buffer, 512);
        EXPECT_GT(n, 0u);
        EXPECT_EQ(n, std::u16string(buffer).size() + 1);
        return buffer;
    }
};

TEST_F(ExpandEnvironment, ReplacesKnownNamesInAnyCaseAndKeepsTheRest) {
    EXPECT_EQ(Expand(u"%ProgramFiles%\\Outlook Express\\msimn.exe"),
              u"C:\\Program Files\\Outlook Express\\msimn.exe");
    EXPECT_EQ(Expand(u"%SYSTEMROOT%;%windir%"), u"C:\\Windows;C:\\Windows");
    EXPECT_EQ(Expand(u"%Unknown%\\x"), u"%Unknown%\\x");
    EXPECT_EQ(Expand(u"100% sure"), u"100% sure");
    EXPECT_EQ(Expand(u"%%"), u"%%");
    EXPECT_EQ(Expand(u"a%Nope%TEMP%b"), u"a%NopeC:\\Windows\\Tempb");
    EXPECT_EQ(Expand(u""), u"");
}

TEST_F(ExpandEnvironment, SizeQueryAndShortBuffers) {
    const char16_t* source = u"%TEMP%\\x";  // C:\Windows\Temp\x: 17 characters
    EXPECT_EQ(ExpandEnvironmentStringsW(source, nullptr, 0), 18u);
    WCHAR buffer[32];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(ExpandEnvironmentStringsW(source, buffer, 17), 18u);
    EXPECT_EQ(buffer[0], u'#');
    EXPECT_EQ(ExpandEnvironmentStringsW(source, buffer, 18), 18u);
    EXPECT_EQ(std::u16string(buffer), u"C:\\Windows\\Temp\\x");
    SetLastError(0);
    EXPECT_EQ(ExpandEnvironmentStringsW(nullptr, buffer, 18), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(ExpandEnvironment, AnsiFormWorksInWindows1252) {
    CurrentMachine().SetEnvironment(u"Ordner", u"C:\\Bücher €");
    char buffer[64];
    const char* source = "%ORDNER%\\\xE9";  // é
    DWORD n = ExpandEnvironmentStringsA(source, nullptr, 0);
    EXPECT_EQ(n, 14u);
    EXPECT_EQ(ExpandEnvironmentStringsA(source, buffer, n - 1), n);
    EXPECT_EQ(ExpandEnvironmentStringsA(source, buffer, sizeof buffer), n);
    EXPECT_STREQ(buffer,
                 "C:\\B\xFC"
                 "cher \x80\\\xE9");
}

}  // namespace
}  // namespace pal
