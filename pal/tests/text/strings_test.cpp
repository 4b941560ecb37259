#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "pal/text.h"

namespace {

TEST(LstrHelpers, LengthsCopiesAndAppendsTolerateNullPointers) {
    EXPECT_EQ(lstrlenW(nullptr), 0);
    EXPECT_EQ(lstrlenA(nullptr), 0);
    EXPECT_EQ(lstrlenW(u"Kestrin"), 7);
    EXPECT_EQ(lstrlenA("\x80uro"), 4);

    WCHAR wide[16] = u"xxxxxxxxxxxxxxx";
    EXPECT_EQ(lstrcpyW(wide, u"ab"), wide);
    EXPECT_EQ(std::u16string(wide), u"ab");
    EXPECT_EQ(lstrcatW(wide, u"cd"), wide);
    EXPECT_EQ(std::u16string(wide), u"abcd");
    EXPECT_EQ(lstrcpyW(nullptr, u"ab"), nullptr);
    EXPECT_EQ(lstrcatW(wide, nullptr), nullptr);
    EXPECT_EQ(std::u16string(wide), u"abcd");

    char narrow[16] = "zzzzzzzzzzzzzzz";
    EXPECT_EQ(lstrcpyA(narrow, "C:\\"), narrow);
    EXPECT_EQ(lstrcatA(narrow, "Dir"), narrow);
    EXPECT_STREQ(narrow, "C:\\Dir");
    EXPECT_EQ(lstrcpyA(narrow, nullptr), nullptr);
    EXPECT_EQ(lstrcatA(nullptr, "x"), nullptr);
}

TEST(LstrHelpers, CopyNAlwaysTerminatesWithinTheCount) {
    WCHAR buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(lstrcpynW(buffer, u"abcdef", 4), buffer);
    EXPECT_EQ(std::u16string(buffer), u"abc");
    EXPECT_EQ(buffer[4], u'#');
    lstrcpynW(buffer, u"ab", 8);
    EXPECT_EQ(std::u16string(buffer), u"ab");
    lstrcpynW(buffer, u"abc", 1);
    EXPECT_EQ(buffer[0], 0);
    buffer[0] = u'q';
    EXPECT_EQ(lstrcpynW(buffer, u"abc", 0), buffer);
    EXPECT_EQ(buffer[0], u'q');
    EXPECT_EQ(lstrcpynW(nullptr, u"abc", 4), nullptr);
}

TEST(CharNext, StepsOneByteInTheDesktopCodePageAndStaysOnTheTerminator) {
    const char* text =
        "\x80"
        "a";
    EXPECT_EQ(CharNextA(text), text + 1);
    EXPECT_EQ(CharNextA(text + 1), text + 2);
    EXPECT_EQ(CharNextA(text + 2), text + 2);
}

TEST(WideCaseInsensitive, FoldsLettersToLowerCase) {
    EXPECT_EQ(_wcsicmp(u"WCELOAD.EXE", u"wceload.exe"), 0);
    EXPECT_EQ(_wcsicmp(u"Dialog", u"dialog"), 0);
    EXPECT_EQ(_wcsicmp(u"\u00C4RGER", u"\u00e4rger"), 0);
    EXPECT_EQ(_wcsicmp(u"\u0416", u"\u0436"), 0);
    EXPECT_LT(_wcsicmp(u"abc", u"ABD"), 0);
    EXPECT_GT(_wcsicmp(u"abcd", u"ABC"), 0);
    // Lower-case folding puts '_' (0x5F) before letters (0x61…).
    EXPECT_LT(_wcsicmp(u"_", u"A"), 0);
    EXPECT_EQ(_wcsnicmp(u"Inbox-1", u"INBOX-2", 6), 0);
    EXPECT_NE(_wcsnicmp(u"Inbox-1", u"INBOX-2", 7), 0);
    EXPECT_EQ(_wcsnicmp(u"ab", u"AB", 10), 0);
}

TEST(WideCLibrary, CopyCompareAndSearch) {
    WCHAR buffer[16];
    EXPECT_EQ(wcslen(u""), 0u);
    EXPECT_EQ(wcslen(u"P1"), 2u);
    wcscpy(buffer, u"SMTP");
    wcscat(buffer, u":x");
    EXPECT_EQ(std::u16string(buffer), u"SMTP:x");
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    wcsncpy(buffer, u"ab", 5);
    EXPECT_EQ(std::u16string(buffer, 5), std::u16string(u"ab\0\0\0", 5));
    EXPECT_EQ(buffer[5], u'#');
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    wcsncpy(buffer, u"abcdef", 3);
    EXPECT_EQ(std::u16string(buffer, 4), u"abc#");  // no terminator when the source is longer

    EXPECT_EQ(wcscmp(u"abc", u"abc"), 0);
    EXPECT_LT(wcscmp(u"ABC", u"abc"), 0);
    EXPECT_LT(wcscmp(u"ab", u"abc"), 0);
    EXPECT_GT(wcscmp(u"\u00e9", u"z"), 0);

    const WCHAR* text = u"a;b;c";
    EXPECT_EQ(wcschr(text, u';'), text + 1);
    EXPECT_EQ(wcsrchr(text, u';'), text + 3);
    EXPECT_EQ(wcschr(text, u'x'), nullptr);
    EXPECT_EQ(wcsrchr(text, u'x'), nullptr);
    EXPECT_EQ(wcschr(text, 0), text + 5);
    const WCHAR* piece = u"\"Ann\" [SMTP:ann@x.org]";
    EXPECT_EQ(wcsstr(piece, u"\" [SMTP:"), piece + 4);
    EXPECT_EQ(wcsstr(piece, u""), piece);
    EXPECT_EQ(wcsstr(piece, u"org]!"), nullptr);
    const WCHAR* overlap = u"aab";
    EXPECT_EQ(wcsstr(overlap, u"ab"), overlap + 1);
    WCHAR mutableText[] = u"x;y";
    WCHAR* found = wcschr(mutableText, u';');
    *found = u',';
    EXPECT_EQ(std::u16string(mutableText), u"x,y");
}

TEST(WideTokens, SplitsAcrossCallsSkippingEmptyPieces) {
    WCHAR list[] = u";a@x.org;;\"B\" [SMTP:b@y.org];c@z.org;";
    EXPECT_EQ(std::u16string(wcstok(list, u";")), u"a@x.org");
    EXPECT_EQ(std::u16string(wcstok(nullptr, u";")), u"\"B\" [SMTP:b@y.org]");
    EXPECT_EQ(std::u16string(wcstok(nullptr, u";")), u"c@z.org");
    EXPECT_EQ(wcstok(nullptr, u";"), nullptr);
    EXPECT_EQ(wcstok(nullptr, u";"), nullptr);

    WCHAR onlyDelimiters[] = u";;;";
    EXPECT_EQ(wcstok(onlyDelimiters, u";"), nullptr);

    WCHAR mixed[] = u"a, b,c";
    EXPECT_EQ(std::u16string(wcstok(mixed, u", ")), u"a");
    EXPECT_EQ(std::u16string(wcstok(nullptr, u",")), u" b");
    EXPECT_EQ(std::u16string(wcstok(nullptr, u",")), u"c");
}

TEST(WideTokens, EachThreadKeepsItsOwnPosition) {
    WCHAR mine[] = u"1;2;3";
    EXPECT_EQ(std::u16string(wcstok(mine, u";")), u"1");
    std::u16string other;
    std::thread([&] {
        WCHAR theirs[] = u"x;y";
        wcstok(theirs, u";");
        other = wcstok(nullptr, u";");
    }).join();
    EXPECT_EQ(other, u"y");
    EXPECT_EQ(std::u16string(wcstok(nullptr, u";")), u"2");
}

}  // namespace
