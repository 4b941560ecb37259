#include "emu/packages/package_installer.h"

#include <cfgmgrapi.h>
#include <setup_hooks.h>

#include <functional>
#include <set>
#include <thread>

#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/module_install.h"
#include "pal/runtime/process.h"
#include "pal/runtime/program.h"

namespace emu::packages {

namespace {

constexpr char16_t kUninstallFolder[] = u"\\Windows\\AppMgr";
constexpr char16_t kMessageBoxClass[] = u"Dialog";

std::u16string AppKey(const std::u16string& name) {
    return std::u16string(kAppInstallKey) + u"\\" + name;
}

HKEY Root(const std::u16string& root) {
    return root == u"HKCU" ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// The registry keys the package writes, "HKLM\…" / "HKCU\…", each once.
std::set<std::u16string> PackageKeys(const Package& package) {
    std::set<std::u16string> keys;
    for (const auto& value : package.values) keys.insert(value.root + u"\\" + value.key);
    return keys;
}

// The removal document: the package's registry keys, each to be deleted.
std::u16string UninstallDocument(const Package& package) {
    std::u16string text = u"<wap-provisioningdoc><characteristic type=\"Registry\">";
    for (const auto& key : PackageKeys(package))
        text += u"<nocharacteristic type=\"" + key + u"\"/>";
    return text + u"</characteristic></wap-provisioningdoc>";
}

bool WriteUtf16File(const std::u16string& path, const std::u16string& text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD size = static_cast<DWORD>(text.size() * sizeof(char16_t));
    DWORD written = 0;
    bool ok = WriteFile(file, text.data(), size, &written, nullptr) && written == size;
    CloseHandle(file);
    return ok;
}

std::u16string ReadUtf16File(const std::u16string& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    DWORD size = GetFileSize(file, nullptr);
    std::u16string text(size / 2, u'\0');
    DWORD read = 0;
    if (!ReadFile(file, text.data(), static_cast<DWORD>(text.size() * 2), &read, nullptr))
        read = 0;
    CloseHandle(file);
    text.resize(read / 2);
    return text;
}

bool SetString(HKEY key, const char16_t* name, const std::u16string& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * 2)) == ERROR_SUCCESS;
}

std::u16string GetString(HKEY key, const char16_t* name) {
    WCHAR value[MAX_PATH] = {};
    DWORD size = (MAX_PATH - 1) * 2;
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) !=
        ERROR_SUCCESS)
        return {};
    return value;
}

bool SelfRegister(const std::u16string& path) {
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module) return false;
    auto reg = reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, "DllRegisterServer"));
    bool ok = reg && SUCCEEDED(reg());
    FreeLibrary(module);
    return ok;
}

LRESULT CALLBACK MessageBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        DestroyWindow(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The closing message box: a "Dialog" window that waits for OK or closes itself after `limit`.
void ShowClosingMessageBox(std::chrono::milliseconds limit) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = MessageBoxProc;
    windowClass.lpszClassName = kMessageBoxClass;
    RegisterClassW(&windowClass);
    HWND box = CreateWindowW(kMessageBoxClass, u"Installation", WS_POPUP | WS_VISIBLE, 0, 0, 0, 0,
                             nullptr, nullptr, nullptr, nullptr);
    if (!box) return;
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (IsWindow(box) && std::chrono::steady_clock::now() < deadline) {
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        else
            Sleep(10);
    }
    if (IsWindow(box)) DestroyWindow(box);
}

// Runs `main` as the installer process of `device` and waits for it to end; rethrows what it
// threw.
void RunInstaller(pal::Machine& device, const std::function<void()>& main) {
    auto process = device.CreateProcess(kInstallerPath);
    std::string failure;
    pal::RunProcess(process, [&]() -> DWORD {
        try {
            main();
            return 0;
        } catch (const std::exception& error) {
            failure = error.what();
            return 1;
        }
    });
    while (!process->HasExited()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!failure.empty()) throw PackageError(failure);
}

void InstallInProcess(const Package& package, const InstallOptions& options) {
    pal::Machine& device = pal::CurrentMachine();
    HKEY existing = nullptr;
    bool previously = RegOpenKeyExW(HKEY_LOCAL_MACHINE, AppKey(package.name).c_str(), 0, KEY_READ,
                                    &existing) == ERROR_SUCCESS;
    if (existing) RegCloseKey(existing);

    HMODULE setup = nullptr;
    for (const auto& file : package.files) {
        if (file.target != package.setupLibrary) continue;
        pal::InstallModule(device, file.host, file.target);
        setup = LoadLibraryW(file.target.c_str());
        if (!setup) throw PackageError("the setup library does not load");
    }
    if (setup) {
        auto init = reinterpret_cast<PFN_Install_Init>(GetProcAddress(setup, "Install_Init"));
        if (init && init(nullptr, TRUE, previously, package.installDir.c_str()) !=
                        codeINSTALL_INIT_CONTINUE) {
            FreeLibrary(setup);
            throw PackageError("the setup library cancelled the installation");
        }
    }
    WORD failedFiles = 0;
    WORD failedValues = 0;
    for (const auto& file : package.files) {
        try {
            if (file.target != package.setupLibrary) pal::InstallModule(device, file.host, file.target);
        } catch (const std::exception& error) {
            if (setup) FreeLibrary(setup);
            throw PackageError("cannot copy " + pal::U8(file.target) + ": " + error.what());
        }
        if (file.selfRegister && !SelfRegister(file.target)) ++failedFiles;
    }
    for (const auto& value : package.values) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(Root(value.root), value.key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) != ERROR_SUCCESS) {
            ++failedValues;
            continue;
        }
        if (RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                           static_cast<DWORD>(value.data.size())) != ERROR_SUCCESS)
            ++failedValues;
        RegCloseKey(key);
    }
    CreateDirectoryW(u"\\Windows", nullptr);
    CreateDirectoryW(kUninstallFolder, nullptr);
    std::u16string uninstallPath = std::u16string(kUninstallFolder) + u"\\" + package.name + u".xml";
    WriteUtf16File(uninstallPath, UninstallDocument(package));
    HKEY app = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, AppKey(package.name).c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &app, nullptr) == ERROR_SUCCESS) {
        SetString(app, u"InstallDir", package.installDir);
        SetString(app, u"Uninstall", uninstallPath);
        RegCloseKey(app);
    }
    RegFlushKey(HKEY_LOCAL_MACHINE);
    RegFlushKey(HKEY_CURRENT_USER);
    if (setup) {
        auto exit = reinterpret_cast<PFN_Install_Exit>(GetProcAddress(setup, "Install_Exit"));
        if (exit) exit(nullptr, package.installDir.c_str(), 0, failedFiles, 0, failedValues, 0);
        FreeLibrary(setup);
    }
    ShowClosingMessageBox(options.messageBoxTimeout);
}

void RemoveInProcess(const Package& package) {
    HKEY app = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, AppKey(package.name).c_str(), 0, KEY_READ, &app) !=
        ERROR_SUCCESS)
        throw PackageError(pal::U8(package.name) + " is not installed");
    std::u16string installDir = GetString(app, u"InstallDir");
    std::u16string uninstallPath = GetString(app, u"Uninstall");
    RegCloseKey(app);

    HMODULE setup = package.setupLibrary.empty() ? nullptr : LoadLibraryW(package.setupLibrary.c_str());
    if (setup) {
        auto init = reinterpret_cast<PFN_Uninstall_Init>(GetProcAddress(setup, "Uninstall_Init"));
        if (init && init(nullptr, installDir.c_str()) != codeUNINSTALL_INIT_CONTINUE) {
            FreeLibrary(setup);
            throw PackageError("the setup library cancelled the removal");
        }
    }
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (GetVersionExW(&version) && version.dwMajorVersion >= 5) {
        std::u16string document = ReadUtf16File(uninstallPath);
        LPWSTR result = nullptr;
        if (!document.empty()) DMProcessConfigXML(document.c_str(), CFGFLAG_PROCESS, &result);
        delete[] result;
    } else {
        for (const auto& key : PackageKeys(package))
            RegDeleteKeyW(Root(key.substr(0, 4)), key.substr(5).c_str());
    }
    for (const auto& file : package.files)
        if (file.target != package.setupLibrary) DeleteFileW(file.target.c_str());
    if (setup) {
        auto exit = reinterpret_cast<PFN_Uninstall_Exit>(GetProcAddress(setup, "Uninstall_Exit"));
        if (exit) exit(nullptr);
        FreeLibrary(setup);
        DeleteFileW(package.setupLibrary.c_str());
    }
    DeleteFileW(uninstallPath.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, AppKey(package.name).c_str());
    RegFlushKey(HKEY_LOCAL_MACHINE);
    RegFlushKey(HKEY_CURRENT_USER);
}

}  // namespace

void Install(pal::Machine& device, const Package& package, const InstallOptions& options) {
    RunInstaller(device, [&] { InstallInProcess(package, options); });
}

void Remove(pal::Machine& device, const Package& package) {
    RunInstaller(device, [&] { RemoveInProcess(package); });
}

bool IsInstalled(pal::Machine& device, const std::u16string& name) {
    pal::ScopedContext context(device);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, AppKey(name).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

}  // namespace emu::packages
