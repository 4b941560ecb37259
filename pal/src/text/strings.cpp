// lstr* helpers, CharNextA and the C-library wide-string helpers on WCHAR.
#include "ansi.h"
#include "pal/text.h"

namespace {

template <class Ch>
size_t Length(const Ch* s) {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

template <class Ch>
Ch* Copy(Ch* dst, const Ch* src) {
    if (!dst || !src) return nullptr;
    size_t i = 0;
    do {
        dst[i] = src[i];
    } while (src[i++]);
    return dst;
}

template <class Ch>
Ch* Append(Ch* dst, const Ch* src) {
    if (!dst || !src) return nullptr;
    Copy(dst + Length(dst), src);
    return dst;
}

// Lower-case form used by _wcsicmp: the inverse of the layer's upper-case folding, so the same
// letters compare equal, while ordering follows lower case as the C library's does ('_' sorts
// before letters).
char16_t ToLower(char16_t u) {
    if (u < 0x80) return (u >= 'A' && u <= 'Z') ? static_cast<char16_t>(u + 0x20) : u;
    if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<char16_t>(u + 0x20);
    if (u == 0x178) return 0xFF;
    if (u >= 0x100 && u <= 0x137 && !(u & 1)) return static_cast<char16_t>(u + 1);
    if (u >= 0x139 && u <= 0x148 && (u & 1)) return static_cast<char16_t>(u + 1);
    if (u >= 0x14A && u <= 0x177 && !(u & 1)) return static_cast<char16_t>(u + 1);
    if (u == 0x179 || u == 0x17B || u == 0x17D) return static_cast<char16_t>(u + 1);
    if (u >= 0x391 && u <= 0x3A9 && u != 0x3A2) return static_cast<char16_t>(u + 0x20);
    if (u >= 0x410 && u <= 0x42F) return static_cast<char16_t>(u + 0x20);
    if (u >= 0x400 && u <= 0x40F) return static_cast<char16_t>(u + 0x50);
    return u;
}

thread_local WCHAR* t_tokenNext = nullptr;

}  // namespace

int lstrlenW(LPCWSTR lpString) { return lpString ? static_cast<int>(Length(lpString)) : 0; }

int lstrlenA(LPCSTR lpString) { return lpString ? static_cast<int>(Length(lpString)) : 0; }

LPWSTR lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2) { return Copy(lpString1, lpString2); }

LPSTR lstrcpyA(LPSTR lpString1, LPCSTR lpString2) { return Copy(lpString1, lpString2); }

LPWSTR lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength) {
    if (!lpString1 || !lpString2) return nullptr;
    if (iMaxLength <= 0) return lpString1;
    int i = 0;
    for (; i < iMaxLength - 1 && lpString2[i]; ++i) lpString1[i] = lpString2[i];
    lpString1[i] = 0;
    return lpString1;
}

LPWSTR lstrcatW(LPWSTR lpString1, LPCWSTR lpString2) { return Append(lpString1, lpString2); }

LPSTR lstrcatA(LPSTR lpString1, LPCSTR lpString2) { return Append(lpString1, lpString2); }

LPSTR CharNextA(LPCSTR lpsz) {
    LPSTR p = const_cast<LPSTR>(lpsz);
    if (!p || !*p) return p;
    if (pal::text::ResolveCodePage(CP_ACP) == pal::text::Charset::Utf8) {
        ++p;
        while ((static_cast<unsigned char>(*p) & 0xC0) == 0x80) ++p;
        return p;
    }
    return p + 1;
}

int _wcsicmp(const WCHAR* string1, const WCHAR* string2) {
    return _wcsnicmp(string1, string2, static_cast<size_t>(-1));
}

int _wcsnicmp(const WCHAR* string1, const WCHAR* string2, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        char16_t a = ToLower(string1[i]), b = ToLower(string2[i]);
        if (a != b) return a < b ? -1 : 1;
        if (!a) break;
    }
    return 0;
}

size_t wcslen(const WCHAR* str) { return Length(str); }

WCHAR* wcscpy(WCHAR* dest, const WCHAR* src) { return Copy(dest, src); }

WCHAR* wcsncpy(WCHAR* dest, const WCHAR* src, size_t count) {
    size_t i = 0;
    for (; i < count && src[i]; ++i) dest[i] = src[i];
    for (; i < count; ++i) dest[i] = 0;
    return dest;
}

WCHAR* wcscat(WCHAR* dest, const WCHAR* src) { return Append(dest, src); }

int wcscmp(const WCHAR* string1, const WCHAR* string2) {
    size_t i = 0;
    while (string1[i] && string1[i] == string2[i]) ++i;
    if (string1[i] == string2[i]) return 0;
    return string1[i] < string2[i] ? -1 : 1;
}

const WCHAR* wcschr(const WCHAR* str, WCHAR c) {
    for (;; ++str) {
        if (*str == c) return str;
        if (!*str) return nullptr;
    }
}

WCHAR* wcschr(WCHAR* str, WCHAR c) {
    return const_cast<WCHAR*>(wcschr(static_cast<const WCHAR*>(str), c));
}

const WCHAR* wcsrchr(const WCHAR* str, WCHAR c) {
    const WCHAR* found = nullptr;
    for (;; ++str) {
        if (*str == c) found = str;
        if (!*str) return found;
    }
}

WCHAR* wcsrchr(WCHAR* str, WCHAR c) {
    return const_cast<WCHAR*>(wcsrchr(static_cast<const WCHAR*>(str), c));
}

const WCHAR* wcsstr(const WCHAR* str, const WCHAR* strSearch) {
    if (!*strSearch) return str;
    for (; *str; ++str) {
        size_t i = 0;
        while (strSearch[i] && str[i] == strSearch[i]) ++i;
        if (!strSearch[i]) return str;
    }
    return nullptr;
}

WCHAR* wcsstr(WCHAR* str, const WCHAR* strSearch) {
    return const_cast<WCHAR*>(wcsstr(static_cast<const WCHAR*>(str), strSearch));
}

WCHAR* wcstok(WCHAR* strToken, const WCHAR* strDelimit) {
    WCHAR* p = strToken ? strToken : t_tokenNext;
    if (!p) return nullptr;
    while (*p && wcschr(strDelimit, *p)) ++p;
    if (!*p) {
        t_tokenNext = nullptr;
        return nullptr;
    }
    WCHAR* token = p;
    while (*p && !wcschr(strDelimit, *p)) ++p;
    if (*p) {
        *p = 0;
        t_tokenNext = p + 1;
    } else {
        t_tokenNext = p;
    }
    return token;
}
