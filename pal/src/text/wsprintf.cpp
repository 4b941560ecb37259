// wsprintfA / wsprintfW over the layer's formatter, with the documented 1024-unit buffer limit.
#include <algorithm>

#include "pal/runtime/format.h"
#include "pal/text.h"

namespace {

constexpr size_t kMaxOutput = 1024;

template <class Ch>
int Store(Ch* out, const std::basic_string<Ch>& text) {
    size_t count = std::min(text.size(), kMaxOutput - 1);
    std::copy_n(text.begin(), count, out);
    out[count] = 0;
    return static_cast<int>(count);
}

}  // namespace

int wvsprintfA(LPSTR lpOut, LPCSTR lpFmt, va_list arglist) {
    return Store(lpOut, pal::VFormatA(lpFmt, arglist));
}

int wvsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, va_list arglist) {
    return Store(lpOut, pal::VFormatW(lpFmt, arglist));
}

int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
    va_list args;
    va_start(args, lpFmt);
    int count = wvsprintfA(lpOut, lpFmt, args);
    va_end(args);
    return count;
}

int wsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, ...) {
    va_list args;
    va_start(args, lpFmt);
    int count = wvsprintfW(lpOut, lpFmt, args);
    va_end(args);
    return count;
}
