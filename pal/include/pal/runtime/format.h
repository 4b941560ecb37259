// The layer's printf-style formatter, behind wsprintf and any code that formats Windows text.
// Conversions: %d %i %u %x %X %c %C %s %S %%, with flags '-' (left-justify), '0' (zero padding
// of integers), '+', ' ', '#' (0x / 0X before non-zero hexadecimal), a width and a precision
// (minimum digits for integers, maximum characters for strings), and the size prefixes h, l, w,
// ll, I32 and I64. l and I32 are 32-bit as on Windows; ll and I64 are 64-bit. In the narrow
// formatter %s takes a char string and %S a WCHAR string; in the wide one the other way round;
// %hs / %ls / %ws (and %hc / %lc) name the width explicitly. Text of the other width is converted
// through the current machine's ANSI code page. A null string prints "(null)"; an unknown
// conversion prints its own character.
#pragma once

#include <cstdarg>
#include <string>

namespace pal {

std::string VFormatA(const char* format, va_list args);
std::string FormatA(const char* format, ...);
std::u16string VFormatW(const char16_t* format, va_list args);
std::u16string FormatW(const char16_t* format, ...);

}  // namespace pal
