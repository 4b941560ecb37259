#include <string>
#include <thread>

#include "pal/runtime/machine.h"
#include "pal/text.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

class CodePages : public testing::DesktopTest {
protected:
    // Runs a conversion expected to fail and returns its last error.
    template <class Call>
    DWORD ErrorOf(Call call) {
        SetLastError(0);
        EXPECT_EQ(call(), 0);
        return GetLastError();
    }
};

// "a€—ä" in Windows-1252.
const char kAnsi[] = "a\x80\x97\xE4";

TEST_F(CodePages, AnsiToWideMapsWindows1252PunctuationAndCountsTheTerminator) {
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, kAnsi, -1, nullptr, 0), 5);
    WCHAR out[8];
    std::fill(std::begin(out), std::end(out), u'#');
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, kAnsi, -1, out, 8), 5);
    EXPECT_EQ(std::u16string(out, 5), std::u16string(u"a\u20AC\u2014\u00E4\0", 5));

    std::fill(std::begin(out), std::end(out), u'#');
    EXPECT_EQ(MultiByteToWideChar(CP_THREAD_ACP, 0, kAnsi, 3, out, 8), 3);
    EXPECT_EQ(std::u16string(out, 4), u"a\u20AC\u2014#");  // no terminator for a counted input
    EXPECT_EQ(MultiByteToWideChar(CP_OEMCP, 0, "\x81", 1, out, 1), 1);
    EXPECT_EQ(out[0], u'\u0081');  // an undefined byte maps to itself
    EXPECT_EQ(MultiByteToWideChar(1252, MB_ERR_INVALID_CHARS, "x\0y", 3, out, 8), 3);
    EXPECT_EQ(std::u16string(out, 3), std::u16string(u"x\0y", 3));
}

TEST_F(CodePages, AnsiToWideRefusesSmallBuffersAndBadArguments) {
    WCHAR out[8];
    std::fill(std::begin(out), std::end(out), u'#');
    EXPECT_EQ(ErrorOf([&] { return MultiByteToWideChar(CP_ACP, 0, kAnsi, -1, out, 4); }),
              static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::u16string(out, 5), u"a\u20AC\u2014\u00E4#");  // what fits is delivered

    const DWORD invalid = ERROR_INVALID_PARAMETER;
    EXPECT_EQ(ErrorOf([&] { return MultiByteToWideChar(CP_ACP, 0, nullptr, -1, out, 8); }),
              invalid);
    EXPECT_EQ(ErrorOf([&] { return MultiByteToWideChar(CP_ACP, 0, "x", 0, out, 8); }), invalid);
    EXPECT_EQ(ErrorOf([&] { return MultiByteToWideChar(CP_ACP, 0, "x", -2, out, 8); }), invalid);
    EXPECT_EQ(ErrorOf([&] { return MultiByteToWideChar(CP_ACP, 0, "x", -1, out, -1); }), invalid);
    EXPECT_EQ(ErrorOf([&] { return MultiByteToWideChar(CP_ACP, 0, "x", -1, nullptr, 4); }),
              invalid);
    EXPECT_EQ(ErrorOf([&] { return MultiByteToWideChar(437, 0, "x", -1, out, 8); }), invalid);
    EXPECT_EQ(ErrorOf([&] { return MultiByteToWideChar(CP_ACP, 0x4, "x", -1, out, 8); }),
              static_cast<DWORD>(ERROR_INVALID_FLAGS));
    EXPECT_EQ(
        ErrorOf([&] { return MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "x", -1, out, 8); }),
        static_cast<DWORD>(ERROR_INVALID_FLAGS));
}

TEST_F(CodePages, Utf8ToWideHandlesInvalidBytesAndKeepsSurrogatePairsWhole) {
    WCHAR out[8];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xE2\x82\xAC!", -1, out, 8), 3);
    EXPECT_EQ(std::u16string(out), u"\u20AC!");
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0,
                                  "a\xFF"
                                  "b",
                                  3, out, 8),
              3);
    EXPECT_EQ(std::u16string(out, 3), u"a\uFFFDb");
    EXPECT_EQ(ErrorOf([&] {
                  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, out, 8);
              }),
              static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));

    const char emoji[] = "x\xF0\x9F\x98\x80";  // U+1F600: a surrogate pair
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, emoji, 5, nullptr, 0), 3);
    std::fill(std::begin(out), std::end(out), u'#');
    EXPECT_EQ(ErrorOf([&] { return MultiByteToWideChar(CP_UTF8, 0, emoji, 5, out, 2); }),
              static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(out[0], u'x');
    EXPECT_EQ(out[1], u'#');  // half a pair is never delivered
}

TEST_F(CodePages, WideToAnsiUsesTheDefaultCharacterForWhatTheCodePageLacks) {
    char out[16];
    BOOL usedDefault = TRUE;
    EXPECT_EQ(
        WideCharToMultiByte(CP_ACP, 0, u"a\u20AC\u2014\u00E4", -1, out, 16, nullptr, &usedDefault),
        5);
    EXPECT_STREQ(out, kAnsi);
    EXPECT_FALSE(usedDefault);

    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"?\u0416\u00E9", -1, out, 16, nullptr, &usedDefault),
              4);
    EXPECT_STREQ(out, "??\xE9");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, u"\u0416\U0001F600x", 4, out,
                                  16, "*", &usedDefault),
              3);
    EXPECT_EQ(std::string(out, 3), "**x");  // one default for the whole pair
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"?", 1, out, 16, nullptr, &usedDefault), 1);
    EXPECT_FALSE(usedDefault);  // a real '?' is not a default
}

TEST_F(CodePages, WideToAnsiSizesAndSmallBuffers) {
    // A list separator read as UTF-16 and converted into a 5-byte field.
    char separator[5];
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u";", -1, separator, 5, nullptr, nullptr), 2);
    EXPECT_STREQ(separator, ";");
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abcdef", -1, nullptr, 0, nullptr, nullptr), 7);
    std::fill(std::begin(separator), std::end(separator), '#');
    EXPECT_EQ(ErrorOf([&] {
                  return WideCharToMultiByte(CP_ACP, 0, u"abcdef", -1, separator, 5, nullptr,
                                             nullptr);
              }),
              static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(separator, 5), "abcde");

    char out[8];
    const DWORD invalid = ERROR_INVALID_PARAMETER;
    EXPECT_EQ(ErrorOf([&] {
                  return WideCharToMultiByte(CP_ACP, 0, nullptr, -1, out, 8, nullptr, nullptr);
              }),
              invalid);
    EXPECT_EQ(
        ErrorOf([&] { return WideCharToMultiByte(CP_ACP, 0, u"x", 0, out, 8, nullptr, nullptr); }),
        invalid);
    EXPECT_EQ(ErrorOf([&] {
                  return WideCharToMultiByte(CP_ACP, 0, u"x", -1, out, -3, nullptr, nullptr);
              }),
              invalid);
    EXPECT_EQ(ErrorOf([&] {
                  return WideCharToMultiByte(CP_ACP, 0, u"x", -1, nullptr, 8, nullptr, nullptr);
              }),
              invalid);
    EXPECT_EQ(ErrorOf([&] {
                  return WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, u"x", -1, out, 8,
                                             nullptr, nullptr);
              }),
              static_cast<DWORD>(ERROR_INVALID_FLAGS));
}

TEST_F(CodePages, WideToUtf8RulesOutDefaultsAndReportsLoneSurrogates) {
    char out[8];
    BOOL used = FALSE;
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u20AC", -1, out, 8, nullptr, nullptr), 4);
    EXPECT_STREQ(out, "\xE2\x82\xAC");
    EXPECT_EQ(
        ErrorOf([&] { return WideCharToMultiByte(CP_UTF8, 0, u"x", -1, out, 8, "?", nullptr); }),
        static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(
        ErrorOf([&] { return WideCharToMultiByte(CP_UTF8, 0, u"x", -1, out, 8, nullptr, &used); }),
        static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(ErrorOf([&] {
                  return WideCharToMultiByte(CP_UTF8, WC_NO_BEST_FIT_CHARS, u"x", -1, out, 8,
                                             nullptr, nullptr);
              }),
              static_cast<DWORD>(ERROR_INVALID_FLAGS));
    const WCHAR lone[] = {u'a', 0xD800, u'b'};
    EXPECT_EQ(ErrorOf([&] {
                  return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, 3, out, 8,
                                             nullptr, nullptr);
              }),
              static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, lone, 3, out, 8, nullptr, nullptr), 5);
    EXPECT_EQ(std::string(out, 5),
              "a\xEF\xBF\xBD"
              "b");

    std::fill(std::begin(out), std::end(out), '#');
    EXPECT_EQ(ErrorOf([&] {
                  return WideCharToMultiByte(CP_UTF8, 0, u"a\u20AC", 2, out, 3, nullptr, nullptr);
              }),
              static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(out, 2), "a#");  // a character is delivered whole or not at all
}

TEST_F(CodePages, AnsiCodePageIsTheCurrentMachines) {
    MachineConfig config = CurrentMachine().Config();
    config.codePage = CP_UTF8;
    CurrentMachine().SetConfig(config);
    WCHAR out[4];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xE2\x82\xAC", -1, out, 4), 2);
    EXPECT_EQ(out[0], u'\u20AC');

    Use(m_world.Device());
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\x80", -1, out, 4), 2);
    EXPECT_EQ(out[0], u'\u20AC');

    // A thread outside every machine converts as the desktop default, Windows-1252.
    char16_t converted = 0;
    std::thread([&] {
        WCHAR unit[1];
        MultiByteToWideChar(CP_ACP, 0, "\x97", 1, unit, 1);
        converted = unit[0];
    }).join();
    EXPECT_EQ(converted, u'\u2014');
}

}  // namespace
}  // namespace pal
