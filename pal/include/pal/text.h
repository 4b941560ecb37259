// Text: string helpers, code-page conversion, formatting.
#pragma once

#include <cstdarg>

#include "pal/errors.h"
#include "pal/types.h"

// ---- String helpers (Windows semantics; null pointers are tolerated as Windows does) ----

// Length in units; 0 for a null pointer.
int lstrlenW(LPCWSTR lpString);
int lstrlenA(LPCSTR lpString);
// Copies src with its terminator; returns dst, or null when either pointer is null.
LPWSTR lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2);
LPSTR lstrcpyA(LPSTR lpString1, LPCSTR lpString2);
// Copies at most iMaxLength - 1 units and always terminates (when iMaxLength > 0); returns dst,
// or null when either pointer is null.
LPWSTR lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength);
// Appends src to dst; returns dst, or null when either pointer is null.
LPWSTR lstrcatW(LPWSTR lpString1, LPCWSTR lpString2);
LPSTR lstrcatA(LPSTR lpString1, LPCSTR lpString2);
// Linguistic word-sort comparison (-1, 0, 1): ignoring hyphen and apostrophe until the rest is
// equal, punctuation before digits before letters, accents after base letters, lower case before
// upper case. A null string sorts before any other; two nulls are equal.
int lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2);
// The same comparison in the current machine's ANSI code page.
int lstrcmpA(LPCSTR lpString1, LPCSTR lpString2);
// As lstrcmp, without regard to case (accents still count).
int lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2);
int lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2);

// The next character of an ANSI string in the machine's code page; stays on the terminator.
LPSTR CharNextA(LPCSTR lpsz);

#ifdef UNICODE
#define lstrlen lstrlenW
#define lstrcpy lstrcpyW
#define lstrcpyn lstrcpynW
#define lstrcat lstrcatW
#define lstrcmp lstrcmpW
#define lstrcmpi lstrcmpiW
#else
#define lstrlen lstrlenA
#define lstrcpy lstrcpyA
#define lstrcat lstrcatA
#define lstrcmp lstrcmpA
#define lstrcmpi lstrcmpiA
#endif

// ---- C-library wide-string helpers on WCHAR (the host's own wcs* work on 32-bit wchar_t) ----

// Case-insensitive ordinal comparison after folding both sides to lower case (Unicode letters of
// Latin-1, Latin Extended-A, Greek and Cyrillic as well as ASCII).
int _wcsicmp(const WCHAR* string1, const WCHAR* string2);
int _wcsnicmp(const WCHAR* string1, const WCHAR* string2, size_t count);

size_t wcslen(const WCHAR* str);
WCHAR* wcscpy(WCHAR* dest, const WCHAR* src);
// Copies at most count units, padding with zeros; no terminator when src is count or longer.
WCHAR* wcsncpy(WCHAR* dest, const WCHAR* src, size_t count);
WCHAR* wcscat(WCHAR* dest, const WCHAR* src);
// Ordinal comparison by code unit.
int wcscmp(const WCHAR* string1, const WCHAR* string2);
// First / last occurrence of c (the terminator itself can be found); null when absent.
const WCHAR* wcschr(const WCHAR* str, WCHAR c);
WCHAR* wcschr(WCHAR* str, WCHAR c);
const WCHAR* wcsrchr(const WCHAR* str, WCHAR c);
WCHAR* wcsrchr(WCHAR* str, WCHAR c);
// First occurrence of strSearch; str itself when strSearch is empty.
const WCHAR* wcsstr(const WCHAR* str, const WCHAR* strSearch);
WCHAR* wcsstr(WCHAR* str, const WCHAR* strSearch);
// Tokenizer with the two-argument signature: a non-null strToken starts a new string, null goes
// on with the calling thread's saved position. Separators are overwritten with terminators; runs
// of delimiters yield no empty tokens; null when no token is left.
WCHAR* wcstok(WCHAR* strToken, const WCHAR* strDelimit);

// ---- Paths ----

// Appends pszMore to pszPath (a MAX_PATH buffer) with exactly one backslash between them; leading
// backslashes of pszMore are dropped, a fully qualified pszMore (drive or UNC) replaces the path,
// and "." / ".." segments are folded. FALSE, with pszPath unchanged, when the result would not fit
// in MAX_PATH units with its terminator (ERROR_FILENAME_EXCED_RANGE) or pszPath is null
// (ERROR_INVALID_PARAMETER).
BOOL PathAppendW(LPWSTR pszPath, LPCWSTR pszMore);
BOOL PathAppendA(LPSTR pszPath, LPCSTR pszMore);
#ifdef UNICODE
#define PathAppend PathAppendW
#else
#define PathAppend PathAppendA
#endif

// ---- Code pages ----

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_THREAD_ACP 3
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_NO_BEST_FIT_CHARS 0x00000400

// Converts to UTF-16. CP_ACP, CP_OEMCP and CP_THREAD_ACP are the current machine's code page
// (Windows-1252 on the desktop); CP_UTF8 and 1252 may be named directly. cbMultiByte -1 means a
// terminated string (the count then includes the terminator). cchWideChar 0 asks for the size.
// Returns the units written (or needed); 0 on failure with ERROR_INSUFFICIENT_BUFFER (the buffer
// then holds the complete characters that fit), ERROR_INVALID_PARAMETER (bad pointers, lengths or
// code page), ERROR_INVALID_FLAGS (flags other than MB_PRECOMPOSED / MB_ERR_INVALID_CHARS, or any
// but MB_ERR_INVALID_CHARS with UTF-8), ERROR_NO_UNICODE_TRANSLATION (invalid UTF-8 with
// MB_ERR_INVALID_CHARS; without it each bad byte becomes U+FFFD).
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar);
// Converts from UTF-16, with the same code pages, lengths and failures. A unit the code page cannot
// express becomes *lpDefaultChar ('?' when null) and sets *lpUsedDefaultChar; there is no
// best-fit mapping. With UTF-8 both must be null (ERROR_INVALID_PARAMETER) and only
// WC_ERR_INVALID_CHARS is accepted (an unpaired surrogate then fails with
// ERROR_NO_UNICODE_TRANSLATION; without it, it becomes U+FFFD).
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        LPBOOL lpUsedDefaultChar);

// ---- Formatting ----

// printf-style formatting into a buffer of at most 1024 units: longer output is cut to 1023 units
// and terminated. Returns the units stored, without the terminator. %s is a string of the
// function's own width, %S of the other (converted through the ANSI code page); %hs / %ls name
// the width explicitly. Integers take flags, width, precision and the l, h, I64 and ll sizes.
int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...);
int wsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, ...);
int wvsprintfA(LPSTR lpOut, LPCSTR lpFmt, va_list arglist);
int wvsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, va_list arglist);
#ifdef UNICODE
#define wsprintf wsprintfW
#define wvsprintf wvsprintfW
#else
#define wsprintf wsprintfA
#define wvsprintf wvsprintfA
#endif
