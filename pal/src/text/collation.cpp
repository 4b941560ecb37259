// lstrcmp / lstrcmpi: a word sort for ASCII, Latin-1 and the Windows-1252 extras.
//
// Strings compare level by level, as the system's linguistic sort does:
//   1. base characters: white space, then punctuation, then currency and mathematical signs,
//      then digits, then letters in alphabetical order without regard to accents or case; any
//      other character after the letters in code order. Ligatures and ß count as their two
//      letters (æ = ae, œ = oe, ß = ss, þ = th).
//   2. accents, left to right: unaccented first, then acute, grave, circumflex, caron, ring,
//      diaeresis, tilde, cedilla, stroke, hook, superscript and ligature forms;
//   3. case, left to right: lower case before upper case (skipped by lstrcmpi);
//   4. hyphens and apostrophes, which the levels above ignore (so "coop" < "co-op" < "cop").
// Control characters are ignored altogether.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ansi.h"
#include "pal/text.h"

namespace {

enum Accent : std::uint8_t {
    kNone,
    kAcute,
    kGrave,
    kCircumflex,
    kCaron,
    kRing,
    kDiaeresis,
    kTilde,
    kCedilla,
    kStroke,
    kHook,
    kSuperscript,
    kLigature,
};

struct Element {
    std::uint32_t primary;
    std::uint8_t accent;
    std::uint8_t upper;
};

struct SortKey {
    std::vector<Element> elements;
    std::u16string hyphens;  // the characters only the last level looks at
};

// Non-letter, non-digit characters in sorting order.
constexpr std::u16string_view kSymbols =
    u"\t\n\v\f\r \u00A0!\"#$%&()*,./:;?@[\\]^_`{|}~"
    u"\u00A1\u00A6\u00A7\u00A8\u00A9\u00AB\u00AC\u00AE\u00AF\u00B0\u00B4\u00B6\u00B7\u00B8"
    u"\u00BB\u00BF\u201A\u201E\u2026\u2020\u2021\u02C6\u2030\u2039\u2018\u2019\u201C\u201D"
    u"\u2022\u2013\u2014\u02DC\u2122\u203A"
    u"\u00A2\u00A3\u00A4\u00A5\u20AC"
    u"+<=>\u00B1\u00D7\u00F7\u00BC\u00BD\u00BE";

constexpr std::uint32_t kSymbolBase = 0x100;
constexpr std::uint32_t kDigitBase = 0x200;
constexpr std::uint32_t kLetterBase = 0x300;
constexpr std::uint32_t kOtherBase = 0x400;

// Latin-1 letters U+00C0..U+00FF: base letter ('.' where the unit is no plain accented letter)
// and accent.
constexpr std::string_view kLatin1Base =
    "aaaaaa.ceeeeiiiidnooooo.ouuuuy..aaaaaa.ceeeeiiiidnooooo.ouuuuy.y";
constexpr Accent kLatin1Accent[32] = {
    kGrave,  kAcute, kCircumflex, kTilde,      kDiaeresis,  kRing,  kNone,       kCedilla,
    kGrave,  kAcute, kCircumflex, kDiaeresis,  kGrave,      kAcute, kCircumflex, kDiaeresis,
    kStroke, kTilde, kGrave,      kAcute,      kCircumflex, kTilde, kDiaeresis,  kNone,
    kStroke, kGrave, kAcute,      kCircumflex, kDiaeresis,  kAcute, kNone,       kDiaeresis};

void AddLetter(SortKey& key, char lower, Accent accent, bool upper) {
    key.elements.push_back({kLetterBase + static_cast<std::uint32_t>(lower - 'a'), accent,
                            static_cast<std::uint8_t>(upper)});
}

// Letters outside the regular Latin-1 block, and the ligatures, which count as two letters.
struct Special {
    char16_t unit;
    const char* letters;
    Accent accent;
    bool upper;
};
constexpr Special kSpecials[] = {
    {0xAA, "a", kSuperscript, false}, {0xBA, "o", kSuperscript, false},
    {0xC6, "ae", kLigature, true},    {0xE6, "ae", kLigature, false},
    {0xDE, "th", kLigature, true},    {0xFE, "th", kLigature, false},
    {0xDF, "ss", kLigature, false},   {0x152, "oe", kLigature, true},
    {0x153, "oe", kLigature, false},  {0x160, "s", kCaron, true},
    {0x161, "s", kCaron, false},      {0x17D, "z", kCaron, true},
    {0x17E, "z", kCaron, false},      {0x178, "y", kDiaeresis, true},
    {0x192, "f", kHook, false},
};

void AddUnit(SortKey& key, char16_t u) {
    if (u == u'\'' || u == u'-' || u == 0xAD) {
        key.hyphens.push_back(u);
        return;
    }
    if (u >= 'a' && u <= 'z') return AddLetter(key, static_cast<char>(u), kNone, false);
    if (u >= 'A' && u <= 'Z') return AddLetter(key, static_cast<char>(u + 0x20), kNone, true);
    if (u >= '0' && u <= '9') {
        key.elements.push_back({kDigitBase + (u - u'0'), kNone, 0});
        return;
    }
    if (u == 0xB9 || u == 0xB2 || u == 0xB3) {
        std::uint32_t digit = u == 0xB9 ? 1 : u - 0xB0;
        key.elements.push_back({kDigitBase + digit, kSuperscript, 0});
        return;
    }
    auto symbol = kSymbols.find(u);
    if (symbol != std::u16string_view::npos) {
        key.elements.push_back({kSymbolBase + static_cast<std::uint32_t>(symbol), kNone, 0});
        return;
    }
    if (u < 0x20 || (u >= 0x7F && u < 0xA0)) return;  // control characters
    for (const Special& special : kSpecials) {
        if (special.unit != u) continue;
        for (const char* letter = special.letters; *letter; ++letter)
            AddLetter(key, *letter, special.accent, special.upper);
        return;
    }
    if (u >= 0xC0 && u <= 0xFF && kLatin1Base[u - 0xC0] != '.')
        return AddLetter(key, kLatin1Base[u - 0xC0], kLatin1Accent[(u - 0xC0) & 0x1F], u < 0xE0);
    key.elements.push_back({kOtherBase + u, kNone, 0});
}

SortKey KeyOf(std::u16string_view text) {
    SortKey key;
    for (char16_t u : text) AddUnit(key, u);
    return key;
}

template <class Project>
int CompareLevel(const SortKey& a, const SortKey& b, Project project) {
    size_t n = std::min(a.elements.size(), b.elements.size());
    for (size_t i = 0; i < n; ++i) {
        auto x = project(a.elements[i]), y = project(b.elements[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.elements.size() == b.elements.size()) return 0;
    return a.elements.size() < b.elements.size() ? -1 : 1;
}

int Collate(std::u16string_view a, std::u16string_view b, bool ignoreCase) {
    SortKey ka = KeyOf(a), kb = KeyOf(b);
    if (int c = CompareLevel(ka, kb, [](const Element& e) { return e.primary; })) return c;
    if (int c = CompareLevel(ka, kb, [](const Element& e) { return e.accent; })) return c;
    if (!ignoreCase)
        if (int c = CompareLevel(ka, kb, [](const Element& e) { return e.upper; })) return c;
    int c = ka.hyphens.compare(kb.hyphens);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

template <class Ch, class Widen>
int CompareStrings(const Ch* a, const Ch* b, bool ignoreCase, Widen widen) {
    if (!a || !b) return a == b ? 0 : a ? 1 : -1;
    return Collate(widen(a), widen(b), ignoreCase);
}

std::u16string_view WideView(const WCHAR* s) { return s; }
std::u16string AnsiView(const char* s) { return pal::text::AnsiToWide(s); }

}  // namespace

int lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2) {
    return CompareStrings(lpString1, lpString2, false, WideView);
}

int lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2) {
    return CompareStrings(lpString1, lpString2, true, WideView);
}

int lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) {
    return CompareStrings(lpString1, lpString2, false, AnsiView);
}

int lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
    return CompareStrings(lpString1, lpString2, true, AnsiView);
}
