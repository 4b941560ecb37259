// MultiByteToWideChar / WideCharToMultiByte over the machine's ANSI code page and UTF-8.
#include <cstring>
#include <string>

#include "ansi.h"
#include "pal/runtime/encoding.h"
#include "pal/text.h"

using pal::text::Charset;

namespace {

int Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

bool HasUnpairedSurrogate(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            ++i;
        } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
            return true;
        }
    }
    return false;
}

// Copies a converted result into the caller's buffer: a size query (capacity 0) answers the
// length; a buffer too small receives the whole characters that fit (`fits` says whether a cut
// at a position keeps characters whole) and the call fails with ERROR_INSUFFICIENT_BUFFER.
template <class Ch, class Fits>
int Deliver(const std::basic_string<Ch>& out, Ch* buffer, int capacity, Fits fits) {
    if (capacity == 0) return static_cast<int>(out.size());
    if (out.size() <= static_cast<size_t>(capacity)) {
        std::memcpy(buffer, out.data(), out.size() * sizeof(Ch));
        return static_cast<int>(out.size());
    }
    size_t cut = static_cast<size_t>(capacity);
    while (cut > 0 && !fits(out, cut)) --cut;
    std::memcpy(buffer, out.data(), cut * sizeof(Ch));
    return Fail(ERROR_INSUFFICIENT_BUFFER);
}

}  // namespace

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar) {
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr) ||
        static_cast<const void*>(lpMultiByteStr) == static_cast<const void*>(lpWideCharStr))
        return Fail(ERROR_INVALID_PARAMETER);
    auto charset = pal::text::ResolveCodePage(CodePage);
    if (!charset) return Fail(ERROR_INVALID_PARAMETER);
    DWORD allowed =
        *charset == Charset::Utf8 ? MB_ERR_INVALID_CHARS : MB_PRECOMPOSED | MB_ERR_INVALID_CHARS;
    if (dwFlags & ~allowed) return Fail(ERROR_INVALID_FLAGS);

    size_t length =
        cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    std::string_view input(lpMultiByteStr, length);
    std::u16string out;
    if (*charset == Charset::Utf8) {
        if ((dwFlags & MB_ERR_INVALID_CHARS) && !pal::IsValidUtf8(input))
            return Fail(ERROR_NO_UNICODE_TRANSLATION);
        out = pal::Utf8ToUtf16(input);
    } else {
        // Every 1252 byte has a mapping (the five undefined ones map to themselves).
        out = pal::Cp1252ToUtf16(input);
    }
    return Deliver(out, lpWideCharStr, cchWideChar, [](const std::u16string& s, size_t cut) {
        return !IsLowSurrogate(s[cut]) || !IsHighSurrogate(s[cut - 1]);
    });
}

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        LPBOOL lpUsedDefaultChar) {
    if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !lpMultiByteStr) ||
        static_cast<const void*>(lpMultiByteStr) == static_cast<const void*>(lpWideCharStr))
        return Fail(ERROR_INVALID_PARAMETER);
    auto charset = pal::text::ResolveCodePage(CodePage);
    if (!charset) return Fail(ERROR_INVALID_PARAMETER);

    size_t length = 0;
    if (cchWideChar == -1) {
        while (lpWideCharStr[length]) ++length;
        ++length;
    } else {
        length = static_cast<size_t>(cchWideChar);
    }
    std::u16string_view input(lpWideCharStr, length);
    std::string out;
    if (*charset == Charset::Utf8) {
        if (lpDefaultChar || lpUsedDefaultChar) return Fail(ERROR_INVALID_PARAMETER);
        if (dwFlags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) return Fail(ERROR_INVALID_FLAGS);
        if ((dwFlags & WC_ERR_INVALID_CHARS) && HasUnpairedSurrogate(input))
            return Fail(ERROR_NO_UNICODE_TRANSLATION);
        out = pal::Utf16ToUtf8(input);
        return Deliver(out, lpMultiByteStr, cbMultiByte, [](const std::string& s, size_t cut) {
            return (static_cast<unsigned char>(s[cut]) & 0xC0) != 0x80;
        });
    }

    if (dwFlags & ~static_cast<DWORD>(WC_NO_BEST_FIT_CHARS)) return Fail(ERROR_INVALID_FLAGS);
    char defaultChar = lpDefaultChar ? *lpDefaultChar : '?';
    BOOL usedDefault = FALSE;
    out.reserve(input.size());
    for (size_t i = 0; i < input.size(); ++i) {
        auto byte = pal::Utf16ToCp1252(input[i]);
        if (byte) {
            out.push_back(static_cast<char>(*byte));
            continue;
        }
        // One default character stands for a whole surrogate pair.
        if (IsHighSurrogate(input[i]) && i + 1 < input.size() && IsLowSurrogate(input[i + 1])) ++i;
        out.push_back(defaultChar);
        usedDefault = TRUE;
    }
    if (lpUsedDefaultChar) *lpUsedDefaultChar = usedDefault;
    return Deliver(out, lpMultiByteStr, cbMultiByte,
                   [](const std::string&, size_t) { return true; });
}
