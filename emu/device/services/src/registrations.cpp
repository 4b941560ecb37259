#include "registrations.h"

#include <algorithm>

namespace emu::services {

namespace {

std::u16string ReadString(HKEY key, const char16_t* name) {
    WCHAR text[MAX_PATH] = {};
    DWORD type = 0;
    DWORD size = sizeof(text) - sizeof(WCHAR);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(text), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    return text;
}

// A REG_DWORD value, or `fallback` when it is missing or of another type or size.
DWORD ReadNumber(HKEY key, const char16_t* name, DWORD fallback) {
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value))
        return fallback;
    return value;
}

}  // namespace

std::u16string ServiceInfo::DeviceName() const {
    return prefix + static_cast<char16_t>(u'0' + index % 10) + u":";
}

std::optional<ServiceInfo> ReadRegistration(const std::u16string& name) {
    HKEY key = nullptr;
    std::u16string path = u"Services\\" + name;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    ServiceInfo info;
    info.key = name;
    info.dll = ReadString(key, u"Dll");
    info.prefix = ReadString(key, u"Prefix");
    info.index = ReadNumber(key, u"Index", 0);
    info.order = ReadNumber(key, u"Order", 0);
    info.keep = ReadNumber(key, u"Keep", 0) == 1;
    RegCloseKey(key);
    if (info.dll.empty() || info.prefix.empty()) return std::nullopt;
    return info;
}

std::vector<ServiceInfo> ReadRegistrations() {
    std::vector<ServiceInfo> result;
    HKEY services = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Services", 0, KEY_READ, &services) != ERROR_SUCCESS)
        return result;
    for (DWORD i = 0;; ++i) {
        WCHAR name[MAX_PATH] = {};
        DWORD length = MAX_PATH;
        if (RegEnumKeyExW(services, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        if (auto info = ReadRegistration(name)) result.push_back(std::move(*info));
    }
    RegCloseKey(services);
    std::stable_sort(result.begin(), result.end(), [](const auto& a, const auto& b) {
        return a.order != b.order ? a.order < b.order : a.key < b.key;
    });
    return result;
}

}  // namespace emu::services
