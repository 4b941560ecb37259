#include <service.h>

#include <string>

#include "host_state.h"
#include "registrations.h"

namespace emu::services {

namespace {

std::string ExportName(const std::u16string& prefix, const char* entry) {
    std::string name;
    for (char16_t c : prefix) name += static_cast<char>(c);
    return name + entry;
}

}  // namespace

// Device names compare without regard to case.
bool SameText(const std::u16string& a, const std::u16string& b) {
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

DWORD ActivateOnHost(HostState& host, const std::u16string& key, DWORD clientInfo,
                     HANDLE* handle) {
    *handle = nullptr;
    auto info = ReadRegistration(key);
    if (!info) return ERROR_SERVICE_DOES_NOT_EXIST;
    for (const auto& running : host.Running())
        if (SameText(running.info.DeviceName(), info->DeviceName()))
            return ERROR_SERVICE_ALREADY_RUNNING;
    // Loads the DLL into services.exe (a bare name is found in \Windows).
    HMODULE module = LoadLibraryW(info->dll.c_str());
    if (!module) return ERROR_MOD_NOT_FOUND;
    auto init = reinterpret_cast<PFN_SERVICE_INIT>(
        GetProcAddress(module, ExportName(info->prefix, "_Init").c_str()));
    if (!init) {
        FreeLibrary(module);
        return ERROR_PROC_NOT_FOUND;
    }
    DWORD context = init(clientInfo);
    if (!context || !info->keep) {
        FreeLibrary(module);
        return context ? ERROR_SUCCESS : ERROR_OPEN_FAILED;
    }
    RunningService service{std::move(*info), module, context, host.NextHandle()};
    *handle = service.handle;
    host.Running().push_back(std::move(service));
    return ERROR_SUCCESS;
}

void DeactivateOnHost(HostState& host, size_t position) {
    RunningService service = host.Running()[position];
    host.Running().erase(host.Running().begin() + static_cast<std::ptrdiff_t>(position));
    auto deinit = reinterpret_cast<PFN_SERVICE_DEINIT>(
        GetProcAddress(service.module, ExportName(service.info.prefix, "_Deinit").c_str()));
    if (deinit) deinit(service.context);
    FreeLibrary(service.module);
}

}  // namespace emu::services

using emu::services::CurrentHost;
using emu::services::HostState;

HANDLE ActivateService(LPCWSTR lpszDevKey, DWORD dwClientInfo) {
    if (!lpszDevKey || !*lpszDevKey) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    HostState& host = CurrentHost();
    std::u16string key(lpszDevKey);
    HANDLE handle = nullptr;
    DWORD error = host.Run([&] {
        DWORD result = emu::services::ActivateOnHost(host, key, dwClientInfo, &handle);
        if (result == ERROR_SUCCESS && handle) host.SaveRunning();
        return result;
    });
    SetLastError(error);
    return handle;
}

HANDLE GetServiceHandle(LPWSTR szPrefix, LPWSTR szDllName, DWORD* pdwDllBuf) {
    if (!szPrefix) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HostState& host = CurrentHost();
    std::u16string name(szPrefix);
    HANDLE handle = nullptr;
    DWORD error = host.Run([&]() -> DWORD {
        for (const auto& service : host.Running()) {
            if (!emu::services::SameText(service.info.DeviceName(), name)) continue;
            if (szDllName && pdwDllBuf) {
                DWORD needed = static_cast<DWORD>((service.info.dll.size() + 1) * sizeof(WCHAR));
                if (*pdwDllBuf < needed) {
                    *pdwDllBuf = needed;
                    return ERROR_INSUFFICIENT_BUFFER;
                }
                std::copy(service.info.dll.begin(), service.info.dll.end(), szDllName);
                szDllName[service.info.dll.size()] = 0;
            }
            handle = service.handle;
            return ERROR_SUCCESS;
        }
        return ERROR_NOT_FOUND;
    });
    SetLastError(error);
    return error == ERROR_SUCCESS ? handle : nullptr;
}

BOOL DeregisterService(HANDLE hDevice) {
    HostState& host = CurrentHost();
    DWORD error = host.Run([&]() -> DWORD {
        auto& running = host.Running();
        for (size_t i = 0; i < running.size(); ++i) {
            if (running[i].handle != hDevice) continue;
            emu::services::DeactivateOnHost(host, i);
            host.SaveRunning();
            return ERROR_SUCCESS;
        }
        return ERROR_INVALID_HANDLE;
    });
    SetLastError(error);
    return error == ERROR_SUCCESS;
}
