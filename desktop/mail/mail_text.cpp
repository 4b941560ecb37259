#include "mail_text.h"

#include <cstdio>
#include <cstring>

namespace {

// Characters an address text keeps, as a device name field holds them without terminator.
constexpr size_t kAddressChars = MAX_PATH - 1;

}  // namespace

std::u16string AnsiToWide(LPCSTR text) {
    if (!text || !*text) return {};
    // Units needed, terminator included.
    int units = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
    if (units <= 1) return {};
    std::u16string wide(static_cast<size_t>(units), u'\0');
    units = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, wide.data(), units);
    wide.resize(units > 0 ? static_cast<size_t>(units) - 1 : 0);
    return wide;
}

std::u16string FormatMailAddress(LPCSTR name, LPCSTR address) {
    if (!address) address = "";
    char text[MAX_PATH];
    if (name && *name && std::strcmp(name, address) != 0)
        std::snprintf(text, sizeof text, "\"%s\" <%s>", name, address);
    else
        std::snprintf(text, sizeof text, "%s", address);
    std::u16string wide = AnsiToWide(text);
    if (wide.size() > kAddressChars) wide.resize(kAddressChars);
    return wide;
}
