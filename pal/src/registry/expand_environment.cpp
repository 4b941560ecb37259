// Environment-string expansion over the current machine's environment.
#include <cstring>
#include <string>

#include "pal/registry.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"

namespace {

// %NAME% becomes the variable's value; an unknown or empty name keeps its '%' and name, and its
// closing '%' may open the next reference, as Windows scans it.
std::u16string Expand(std::u16string_view source) {
    pal::Machine& machine = pal::CurrentMachine();
    std::u16string out;
    size_t pos = 0;
    while (pos < source.size()) {
        size_t open = source.find(u'%', pos);
        if (open == std::u16string_view::npos) break;
        size_t close = source.find(u'%', open + 1);
        if (close == std::u16string_view::npos) break;
        out.append(source.substr(pos, open - pos));
        std::u16string_view name = source.substr(open + 1, close - open - 1);
        auto value = name.empty() ? std::nullopt : machine.GetEnvironment(name);
        if (value) {
            out += *value;
            pos = close + 1;
        } else {
            out += u'%';
            out.append(name);
            pos = close;
        }
    }
    out.append(source.substr(std::min(pos, source.size())));
    return out;
}

}  // namespace

DWORD ExpandEnvironmentStringsW(LPCWSTR lpSrc, LPWSTR lpDst, DWORD nSize) {
    if (!lpSrc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string result = Expand(lpSrc);
    auto needed = static_cast<DWORD>(result.size() + 1);
    if (lpDst && nSize >= needed) std::memcpy(lpDst, result.c_str(), needed * sizeof(WCHAR));
    return needed;
}

DWORD ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize) {
    if (!lpSrc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string result = pal::Utf16ToCp1252(Expand(pal::Cp1252ToUtf16(lpSrc)));
    auto needed = static_cast<DWORD>(result.size() + 1);
    if (lpDst && nSize >= needed) std::memcpy(lpDst, result.c_str(), needed);
    return needed;
}
