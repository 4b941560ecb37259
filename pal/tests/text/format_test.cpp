#include "pal/runtime/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "pal/text.h"

namespace pal {
namespace {

TEST(Format, DiagnosticLogLines) {
    std::string stamp = FormatA("%02u:%02u:%02u(%I64d)", 14u, 3u, 27u, 123456789012LL);
    EXPECT_EQ(stamp, "14:03:27(123456789012)");
    std::string scope = FormatA(">>[%s]", "Checking OE version...");
    EXPECT_EQ(scope, ">>[Checking OE version...]");
    EXPECT_EQ(FormatA("<<[%s]", "Checking OE version..."), "<<[Checking OE version...]");
    EXPECT_EQ(FormatA("%s,thr 0x%08X : %s%s\r\n", stamp.c_str(), 0xA3Cu, "  ", scope.c_str()),
              "14:03:27(123456789012),thr 0x00000A3C :   >>[Checking OE version...]\r\n");
    EXPECT_EQ(FormatA("Log is started on %02u.%02u.%04u, at %02u:%02u:%02u:%03u, executable: %s "
                      "(ProcID: 0x%08x), compile time : %s %s",
                      6u, 12u, 2026u, 16u, 9u, 5u, 7u, "C:\\Dir\\host.exe", 0xA3Cu, "May 16 2006",
                      "18:09:29"),
              "Log is started on 06.12.2026, at 16:09:05:007, executable: C:\\Dir\\host.exe "
              "(ProcID: 0x00000a3c), compile time : May 16 2006 18:09:29");
    EXPECT_EQ(FormatA("WAB file name for this user: %s", "C:\\Address Book\\user.wab"),
              "WAB file name for this user: C:\\Address Book\\user.wab");
    EXPECT_EQ(FormatA("WAB dll path is %s", ""), "WAB dll path is ");
    EXPECT_EQ(FormatA("%I64d", -9000000000LL), "-9000000000");
}

TEST(Format, DesktopNamesAndKeys) {
    EXPECT_EQ(
        FormatA("VelumexBackup.%.2d%.2d%.4d_%.2d%.2d%.2d_%.3d.bak", 6, 12, 2026, 16, 19, 35, 0),
        "VelumexBackup.06122026_161935_000.bak");
    EXPECT_EQ(FormatA("VelumexBackup.%.2d%.2d%.4d_%.2d%.2d%.2d_%.3d.bak", 31, 1, 999, 0, 0, 9, 999),
              "VelumexBackup.31010999_000009_999.bak");
    EXPECT_EQ(FormatA("SOFTWARE\\Microsoft\\Windows CE Services\\SpecialDefaults\\%s\\Services\\"
                      "Synchronization\\Objects",
                      "PocketPC04"),
              "SOFTWARE\\Microsoft\\Windows CE Services\\SpecialDefaults\\PocketPC04\\Services\\"
              "Synchronization\\Objects");
    EXPECT_EQ(FormatA("\"%s\" <%s>", "Ann \x80 Lee", "ann@x.org"), "\"Ann \x80 Lee\" <ann@x.org>");
    EXPECT_EQ(FormatA("Filters\\%s", ".doc"), "Filters\\.doc");
    EXPECT_EQ(FormatA("CLSID\\%s\\PegasusFilter", "{1A2B}"), "CLSID\\{1A2B}\\PegasusFilter");
    EXPECT_EQ(FormatA("%s\\%s.%s", "C:\\Windows\\Temp", "a.doc", "psw"),
              "C:\\Windows\\Temp\\a.doc.psw");
    EXPECT_EQ(FormatA("%d", 0), "0");
    EXPECT_EQ(FormatA("%d", -1234567), "-1234567");
}

TEST(Format, DeviceTemplatesThroughWsprintfW) {
    WCHAR out[1024];
    const WCHAR* account = u"{C901BAA6-3A79-4d75-8395-CBF7AD3DDC89}";
    const WCHAR* remove =
        u"<characteristic type=\"EMAIL2\" cfgnodetype=\"characteristic\"><nocharacteristic "
        u"type=\"%s\" cfgnodetype=\"characteristic\"></nocharacteristic></characteristic>";
    std::u16string expected =
        u"<characteristic type=\"EMAIL2\" cfgnodetype=\"characteristic\"><nocharacteristic "
        u"type=\"{C901BAA6-3A79-4d75-8395-CBF7AD3DDC89}\" cfgnodetype=\"characteristic\">"
        u"</nocharacteristic></characteristic>";
    EXPECT_EQ(wsprintfW(out, remove, account), static_cast<int>(expected.size()));
    EXPECT_EQ(std::u16string(out), expected);

    const WCHAR* create =
        u"<wap-provisioningdoc><characteristic type=\"EMAIL2\"><characteristic type=\"%s\"><parm "
        u"name=\"SERVICENAME\" value=\"%s\"/><parm name=\"SERVICETYPE\" value=\"%s\"/><parm "
        u"name=\"INSERVER\" value=\"localhost\"/><parm name=\"OUTSERVER\" value=\"localhost\"/>"
        u"<parm name=\"AUTHNAME\" value=\"\"/><parm name=\"REPLYADDR\" value=\"\"/>"
        u"</characteristic></characteristic></wap-provisioningdoc>";
    wsprintfW(out, create, account, u"Velumex \u00C4 Mail", u"Kestrin");
    EXPECT_EQ(std::u16string(out),
              u"<wap-provisioningdoc><characteristic type=\"EMAIL2\"><characteristic "
              u"type=\"{C901BAA6-3A79-4d75-8395-CBF7AD3DDC89}\"><parm name=\"SERVICENAME\" "
              u"value=\"Velumex \u00C4 Mail\"/><parm name=\"SERVICETYPE\" value=\"Kestrin\"/>"
              u"<parm name=\"INSERVER\" value=\"localhost\"/><parm name=\"OUTSERVER\" "
              u"value=\"localhost\"/><parm name=\"AUTHNAME\" value=\"\"/><parm "
              u"name=\"REPLYADDR\" value=\"\"/></characteristic></characteristic>"
              u"</wap-provisioningdoc>");

    wsprintfW(out,
              u"<wap-provisioningdoc><characteristic type=\"EMAIL2\"><nocharacteristic "
              u"type=\"%s\"/></characteristic></wap-provisioningdoc>",
              account);
    EXPECT_EQ(std::u16string(out),
              u"<wap-provisioningdoc><characteristic type=\"EMAIL2\"><nocharacteristic "
              u"type=\"{C901BAA6-3A79-4d75-8395-CBF7AD3DDC89}\"/></characteristic>"
              u"</wap-provisioningdoc>");

    EXPECT_EQ(wsprintfW(out, u"Software\\Microsoft\\Windows CE Services\\Partners\\P%d", 2), 50);
    EXPECT_EQ(std::u16string(out), u"Software\\Microsoft\\Windows CE Services\\Partners\\P2");
    wsprintfW(out,
              u"Software\\Microsoft\\ActiveSync\\Partners\\%s\\"
              u"{0DD8685C-E272-4FCB-9ECF-2EAD7EA2497B}",
              u"{ABC}");
    EXPECT_EQ(std::u16string(out),
              u"Software\\Microsoft\\ActiveSync\\Partners\\{ABC}\\"
              u"{0DD8685C-E272-4FCB-9ECF-2EAD7EA2497B}");
    EXPECT_EQ(wsprintfW(out, u"%d", 5), 1);
    EXPECT_EQ(std::u16string(out), u"5");
}

TEST(Format, StringAndCharacterWidths) {
    EXPECT_EQ(FormatA("[%S]", u"\u20AC\u0416"), "[\x80?]");
    EXPECT_EQ(FormatA("[%ls|%hs|%ws]", u"w", "n", u"v"), "[w|n|v]");
    EXPECT_EQ(FormatW(u"[%s|%S|%hs|%ls]", u"\u0416", "\x97", "\x80", u"w"),
              u"[\u0416|\u2014|\u20AC|w]");
    EXPECT_EQ(FormatA("%c%C%c", 'a', u'\u20AC', 'z'), "a\x80z");
    EXPECT_EQ(FormatW(u"%c%C%hc%lc", u'\u0416', '\x80', 'n', u'w'), u"\u0416\u20ACnw");
    EXPECT_EQ(
        FormatA("%s|%S", static_cast<const char*>(nullptr), static_cast<const char16_t*>(nullptr)),
        "(null)|(null)");
    EXPECT_EQ(FormatA("[%5s][%-5s][%.3s][%6.2s]", "ab", "ab", "abcdef", "xyz"),
              "[   ab][ab   ][abc][    xy]");
    EXPECT_EQ(FormatA("[%3c][%-3c]", 'q', 'r'), "[  q][r  ]");
    const char unterminated[3] = {'a', 'b', 'c'};
    EXPECT_EQ(FormatA("%.3s", unterminated), "abc");
}

TEST(Format, IntegerFlagsWidthsPrecisionsAndSizes) {
    EXPECT_EQ(FormatA("%i|%u|%x|%X", -7, 7u, 0xBEEFu, 0xBEEFu), "-7|7|beef|BEEF");
    EXPECT_EQ(FormatA("%x|%u", -1, -1), "ffffffff|4294967295");
    EXPECT_EQ(FormatA("%ld|%lu|%lx", static_cast<LONG>(-5), static_cast<DWORD>(4294967295u),
                      static_cast<DWORD>(0xABCDEF01u)),
              "-5|4294967295|abcdef01");
    EXPECT_EQ(FormatA("%I64u|%I64d|%llx", UINT64_MAX, INT64_MIN, 0x123456789ULL),
              "18446744073709551615|-9223372036854775808|123456789");
    EXPECT_EQ(FormatA("%hd|%hu", 70000, 70000), "4464|4464");
    EXPECT_EQ(FormatA("[%5d][%-5d][%05d][%05d][%+d][% d]", 42, 42, 42, -42, 42, 42),
              "[   42][42   ][00042][-0042][+42][ 42]");
    EXPECT_EQ(FormatA("[%.0d][%.3d][%8.3d][%08.3d][%-08d]", 0, 7, -7, 7, 7),
              "[][007][    -007][     007][7       ]");
    EXPECT_EQ(FormatA("[%02u][%03u][%04u][%02u]", 5u, 5u, 5u, 123u), "[05][005][0005][123]");
    EXPECT_EQ(FormatA("[%#x][%#X][%#x]", 255u, 255u, 0u), "[0xff][0XFF][0]");
    EXPECT_EQ(FormatA("%08X|%08x", 0xA3Cu, 0xDEADBEEFu), "00000A3C|deadbeef");
    EXPECT_EQ(FormatA("100%% %y%"), "100% y");
    EXPECT_EQ(FormatW(u"%d-%04u-%s", -3, 42u, u"x"), u"-3-0042-x");
}

TEST(Wsprintf, CutsOutputAt1023UnitsAndCountsWithoutTerminator) {
    std::string longText(1500, 'a');
    char narrow[1100];
    std::fill(std::begin(narrow), std::end(narrow), '#');
    EXPECT_EQ(wsprintfA(narrow, "<%s>", longText.c_str()), 1023);
    EXPECT_EQ(narrow[0], '<');
    EXPECT_EQ(narrow[1022], 'a');
    EXPECT_EQ(narrow[1023], 0);
    EXPECT_EQ(narrow[1024], '#');

    std::u16string longWide(1023, u'w');
    WCHAR wide[1100];
    EXPECT_EQ(wsprintfW(wide, u"%s", longWide.c_str()), 1023);
    EXPECT_EQ(std::u16string(wide), longWide);
    EXPECT_EQ(wsprintfW(wide, u"%sx", longWide.c_str()), 1023);
    EXPECT_EQ(std::u16string(wide), longWide);

    EXPECT_EQ(wsprintfA(narrow, ""), 0);
    EXPECT_EQ(narrow[0], 0);
    EXPECT_EQ(wsprintfA(narrow, "%s=%d", "\x80", 3), 3);
    EXPECT_STREQ(narrow, "\x80=3");
}

}  // namespace
}  // namespace pal
