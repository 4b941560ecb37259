// Text conversions the platform layer itself needs: UTF-8 (host file names, .reg files) ⟷ UTF-16
// (Windows text), Windows-1252 (the desktop's ANSI code page) ⟷ UTF-16, and the case folding used
// for case-insensitive Windows names.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pal {

// UTF-16 → UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// UTF-8 → UTF-16; an invalid sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// True when `text` is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// The UTF-16 unit a Windows-1252 byte stands for (the five undefined bytes map to themselves).
char16_t Cp1252ToUtf16(unsigned char byte);
// The Windows-1252 byte for a UTF-16 unit, or nothing when 1252 cannot express it.
std::optional<unsigned char> Utf16ToCp1252(char16_t unit);
std::u16string Cp1252ToUtf16(std::string_view text);
// Unrepresentable units become '?'.
std::string Utf16ToCp1252(std::u16string_view text);

// Upper-case form used to compare Windows names (registry, paths, classes) without regard to
// case: ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letters.
char16_t FoldCase(char16_t unit);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
// <0, 0, >0 comparing folded units, as _wcsicmp does.
int CompareNoCase(std::u16string_view a, std::u16string_view b);
std::u16string ToUpper(std::u16string_view text);

// Plain ASCII/UTF-8 ⟷ UTF-16 for literals in C++ code of the layer and its tests.
inline std::u16string U16(std::string_view utf8) { return Utf8ToUtf16(utf8); }
inline std::string U8(std::u16string_view utf16) { return Utf16ToUtf8(utf16); }

}  // namespace pal
