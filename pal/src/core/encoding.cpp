#include "pal/runtime/encoding.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace pal {

namespace {

// Windows-1252 bytes 0x80-0x9F; the undefined ones (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to
// themselves, as the system's conversion tables do.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Every byte's unit: each byte is its own code point but for 0x80-0x9F.
constexpr std::array<char16_t, 256> kCp1252Units = [] {
    std::array<char16_t, 256> units{};
    for (size_t byte = 0; byte < units.size(); ++byte)
        units[byte] = byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80]
                                                  : static_cast<char16_t>(byte);
    return units;
}();

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Decodes one code point at `i`; advances `i`. Returns nothing for an invalid sequence (then `i`
// has advanced by one byte).
std::optional<char32_t> DecodeUtf8(std::string_view s, size_t& i) {
    auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len = b0 >= 0xF0 && b0 <= 0xF4 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC2 && b0 < 0xE0 ? 2 : 0;
    if (len == 0 || b0 > 0xF4 || i + len > s.size()) {
        ++i;
        return std::nullopt;
    }
    char32_t cp = b0 & (0x7F >> len);
    for (int k = 1; k < len; ++k) {
        auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return std::nullopt;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
        ++i;
        return std::nullopt;
    }
    i += len;
    return cp;
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        // A run of ASCII, most of any text, is copied as it is without decoding.
        size_t ascii = i;
        while (ascii < text.size() && static_cast<unsigned char>(text[ascii]) < 0x80) ++ascii;
        if (ascii > i) {
            out.append(text.begin() + i, text.begin() + ascii);
            i = ascii;
            continue;
        }
        char32_t cp = DecodeUtf8(text, i).value_or(0xFFFD);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size())
        if (!DecodeUtf8(text, i)) return false;
    return true;
}

char16_t Cp1252ToUtf16(unsigned char byte) { return kCp1252Units[byte]; }

std::optional<unsigned char> Utf16ToCp1252(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<unsigned char>(unit);
    for (size_t k = 0; k < kCp1252High.size(); ++k)
        if (kCp1252High[k] == unit) return static_cast<unsigned char>(0x80 + k);
    return std::nullopt;
}

// One unit per byte and one byte per unit: the results are sized once and filled in place,
// each byte through the table and ASCII units four at a time, which keeps conversions of whole
// message bodies cheap.
std::u16string Cp1252ToUtf16(std::string_view text) {
    std::u16string out(text.size(), u'\0');
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < text.size(); ++i) out[i] = kCp1252Units[bytes[i]];
    return out;
}

std::string Utf16ToCp1252(std::u16string_view text) {
    std::string out(text.size(), '\0');
    auto narrow = [&](size_t i) {
        out[i] = static_cast<char>(Utf16ToCp1252(text[i]).value_or('?'));
    };
    constexpr std::uint64_t kAboveAscii = 0xFF80FF80FF80FF80ULL;
    size_t i = 0;
    for (; i + 4 <= text.size(); i += 4) {
        std::uint64_t units = 0;
        std::memcpy(&units, text.data() + i, sizeof units);
        if (units & kAboveAscii) {
            for (size_t k = i; k < i + 4; ++k) narrow(k);
            continue;
        }
        for (size_t k = i; k < i + 4; ++k) out[k] = static_cast<char>(text[k]);
    }
    for (; i < text.size(); ++i) narrow(i);
    return out;
}

char16_t FoldCase(char16_t u) {
    if (u < 0x80) return (u >= 'a' && u <= 'z') ? static_cast<char16_t>(u - 0x20) : u;
    if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char16_t>(u - 0x20);
    if (u == 0xFF) return 0x178;
    if (u >= 0x100 && u <= 0x137 && (u & 1)) return static_cast<char16_t>(u - 1);
    if (u >= 0x139 && u <= 0x148 && !(u & 1)) return static_cast<char16_t>(u - 1);
    if (u >= 0x14A && u <= 0x177 && (u & 1)) return static_cast<char16_t>(u - 1);
    if ((u == 0x17A || u == 0x17C || u == 0x17E)) return static_cast<char16_t>(u - 1);
    if (u >= 0x3B1 && u <= 0x3C9 && u != 0x3C2) return static_cast<char16_t>(u - 0x20);
    if (u >= 0x430 && u <= 0x44F) return static_cast<char16_t>(u - 0x20);
    if (u >= 0x450 && u <= 0x45F) return static_cast<char16_t>(u - 0x50);
    return u;
}

int CompareNoCase(std::u16string_view a, std::u16string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t x = FoldCase(a[i]), y = FoldCase(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

std::u16string ToUpper(std::u16string_view text) {
    std::u16string out(text);
    for (auto& u : out) u = FoldCase(u);
    return out;
}

}  // namespace pal
