#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "pal/text.h"

namespace {

std::vector<std::string> SortedA(std::vector<std::string> items, bool ignoreCase) {
    std::stable_sort(items.begin(), items.end(), [&](const std::string& a, const std::string& b) {
        return (ignoreCase ? lstrcmpiA(a.c_str(), b.c_str()) : lstrcmpA(a.c_str(), b.c_str())) < 0;
    });
    return items;
}

TEST(WordSort, AsciiOrderIsPunctuationThenDigitsThenLettersLowerBeforeUpper) {
    std::vector<std::string> expected = {" ", "!", "#", "&", ".", "@", "[", "_", "~", "+",
                                         "=", "0", "9", "a", "A", "b", "B", "z", "Z"};
    std::vector<std::string> shuffled = expected;
    std::reverse(shuffled.begin(), shuffled.end());
    std::rotate(shuffled.begin(), shuffled.begin() + 7, shuffled.end());
    EXPECT_EQ(SortedA(shuffled, false), expected);
}

TEST(WordSort, CaseDecidesOnlyWhenTheLettersAreEqual) {
    EXPECT_LT(lstrcmpA("a", "A"), 0);
    EXPECT_LT(lstrcmpA("A", "b"), 0);  // ordinal order would put "b" first
    EXPECT_GT(lstrcmpA("b", "AA"), 0);
    EXPECT_LT(lstrcmpA("AA", "ab"), 0);
    EXPECT_LT(lstrcmpA("aB", "Ab"), 0);  // the first case difference from the left decides
    EXPECT_EQ(lstrcmpA("Smith", "Smith"), 0);
    EXPECT_LT(lstrcmpA("Smith", "Smithe"), 0);
    EXPECT_LT(lstrcmpA("10", "9"), 0);  // digits compare as characters, not numbers
    EXPECT_EQ(lstrcmpA("a", "b"), -1);
    EXPECT_EQ(lstrcmpA("b", "a"), 1);
}

TEST(WordSort, HyphensAndApostrophesCountOnlyAtTheEnd) {
    EXPECT_LT(lstrcmpA("ab", "a-c"), 0);  // ordinal order would put "a-c" first
    EXPECT_LT(lstrcmpA("coop", "co-op"), 0);
    EXPECT_LT(lstrcmpA("co-op", "cop"), 0);
    EXPECT_LT(lstrcmpA("its", "it's"), 0);
    EXPECT_GT(lstrcmpA("o'neil", "oneal"), 0);
    EXPECT_NE(lstrcmpA("co-op", "co'op"), 0);
}

TEST(WordSort, AccentedLettersFollowTheirBaseLetterAndAccentsOutrankCase) {
    // é (0xE9), ß (0xDF), € (0x80), — (0x97) in the desktop's code page.
    EXPECT_LT(lstrcmpA("e", "\xE9"), 0);
    EXPECT_LT(lstrcmpA("\xE9", "f"), 0);
    EXPECT_LT(lstrcmpA("Resume", "r\xE9sum\xE9"), 0);
    EXPECT_LT(lstrcmpA("r\xE9sum\xE9", "resumes"), 0);
    EXPECT_LT(lstrcmpA("\xE9", "\xC9"), 0);
    EXPECT_LT(lstrcmpA("ss", "\xDF"), 0);
    EXPECT_LT(lstrcmpA("\xDF", "st"), 0);
    EXPECT_LT(lstrcmpA("$", "\x80"), 0);
    EXPECT_LT(lstrcmpA("\x80", "0"), 0);
    EXPECT_LT(lstrcmpA("\x97", "a"), 0);
    EXPECT_LT(lstrcmpA("\x9A", "t"), 0);      // š sorts with s
    EXPECT_LT(lstrcmpW(u"z", u"\u0416"), 0);  // letters outside Latin-1 after z
}

TEST(WordSort, CaseInsensitiveFormKeepsAccents) {
    EXPECT_EQ(lstrcmpiA("MAIL", "mail"), 0);
    EXPECT_EQ(lstrcmpiW(u"Binary Copy", u"BINARY COPY"), 0);
    EXPECT_EQ(lstrcmpiA("\xC9t\xE9", "\xE9T\xC9"), 0);
    EXPECT_NE(lstrcmpiA("ete", "\xE9t\xE9"), 0);
    EXPECT_LT(lstrcmpiA("_", "a"), 0);
    EXPECT_LT(lstrcmpiA("B", "c"), 0);
    std::vector<std::string> expected = {"apple", "Banana", "cherry"};
    EXPECT_EQ(SortedA({"cherry", "Banana", "apple"}, true), expected);
}

TEST(WordSort, NullStringsSortFirstAndControlCharactersAreIgnored) {
    EXPECT_EQ(lstrcmpA(nullptr, nullptr), 0);
    EXPECT_LT(lstrcmpA(nullptr, ""), 0);
    EXPECT_GT(lstrcmpW(u"", nullptr), 0);
    EXPECT_EQ(lstrcmpA("a\x01"
                       "b",
                       "ab"),
              0);
    EXPECT_EQ(lstrcmpW(u"same", u"same"), 0);
    EXPECT_LT(lstrcmpW(u"", u"a"), 0);
}

}  // namespace
