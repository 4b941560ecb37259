#include <algorithm>
#include <string>

#include "loader.h"
#include "pal/modules.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/paths.h"
#include "pal/runtime/process.h"

namespace {

// Copies `text` with a terminator; a short buffer gets as much as fits plus a terminator, and
// the result is then the buffer size with ERROR_INSUFFICIENT_BUFFER.
template <class Char>
DWORD CopyTruncated(std::basic_string_view<Char> text, Char* buffer, DWORD size) {
    if (text.size() < size) {
        std::copy(text.begin(), text.end(), buffer);
        buffer[text.size()] = 0;
        return static_cast<DWORD>(text.size());
    }
    if (size > 0) {
        std::copy_n(text.begin(), size - 1, buffer);
        buffer[size - 1] = 0;
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

// The Windows path GetModuleFileName answers for a handle; false with the last error set.
bool ModulePath(HMODULE handle, std::u16string& path) {
    if (!handle) {
        path = pal::CurrentProcess().ExePath();
        return true;
    }
    pal::ModuleTable& table = pal::LoadedModules(pal::CurrentProcess());
    std::lock_guard<std::recursive_mutex> guard(table.Lock());
    pal::Module* module = pal::ModuleOrExecutable(table, handle);
    if (!module) return false;
    path = module->WindowsPath();
    return true;
}

HMODULE FindLoaded(LPCWSTR name) {
    pal::ModuleTable& table = pal::LoadedModules(pal::CurrentProcess());
    std::lock_guard<std::recursive_mutex> guard(table.Lock());
    if (!name) return pal::ModuleOrExecutable(table, nullptr)->Handle();
    std::u16string full = pal::WithDefaultExtension(name);
    pal::Module* module = nullptr;
    if (pal::IsBareName(full)) {
        module = table.FindByFileName(full);
    } else {
        DWORD error = 0;
        auto canonical = pal::CanonicalWindowsPath(pal::CurrentProcess().GetMachine(), full, error);
        if (canonical) module = table.FindByPath(*canonical);
    }
    if (!module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return module->Handle();
}

}  // namespace

HMODULE LoadLibraryW(LPCWSTR lpLibFileName) {
    if (!lpLibFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return pal::LoadModule(lpLibFileName, __builtin_return_address(0));
}

HMODULE LoadLibraryA(LPCSTR lpLibFileName) {
    if (!lpLibFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return pal::LoadModule(pal::Cp1252ToUtf16(lpLibFileName), __builtin_return_address(0));
}

BOOL FreeLibrary(HMODULE hLibModule) { return pal::FreeModule(hLibModule); }

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    pal::ModuleTable& table = pal::LoadedModules(pal::CurrentProcess());
    std::lock_guard<std::recursive_mutex> guard(table.Lock());
    pal::Module* module = pal::ModuleOrExecutable(table, hModule);
    if (!module) return nullptr;
    // Values below 0x10000 are ordinals, which no module here exports.
    bool byOrdinal = reinterpret_cast<ULONG_PTR>(lpProcName) <= 0xFFFF;
    void* address = byOrdinal ? nullptr : pal::FindExport(*module, lpProcName);
    if (!address) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(address);
}

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    std::u16string path;
    if (!ModulePath(hModule, path)) return 0;
    if (!lpFilename && nSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return CopyTruncated<char16_t>(path, lpFilename, nSize);
}

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    std::u16string path;
    if (!ModulePath(hModule, path)) return 0;
    if (!lpFilename && nSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return CopyTruncated<char>(pal::Utf16ToCp1252(path), lpFilename, nSize);
}

HMODULE GetModuleHandleW(LPCWSTR lpModuleName) { return FindLoaded(lpModuleName); }

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
    if (!lpModuleName) return FindLoaded(nullptr);
    return FindLoaded(pal::Cp1252ToUtf16(lpModuleName).c_str());
}

BOOL DisableThreadLibraryCalls(HMODULE hLibModule) {
    pal::ModuleTable& table = pal::LoadedModules(pal::CurrentProcess());
    std::lock_guard<std::recursive_mutex> guard(table.Lock());
    if (!hLibModule || !table.Find(hLibModule)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}
