#include "provider_host.h"

#include <exception>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "activesync/repl_notify.h"
#include "pal/runtime/context.h"
#include "pal/runtime/module_install.h"
#include "pal/runtime/paths.h"
#include "pal/runtime/process.h"

namespace velumex {

namespace {

using RegistrationProc = HRESULT (*)();

// Loads the provider in a short-lived desktop process and calls one of its registration exports.
HRESULT CallRegistration(pal::Machine& desktop, const char* exportName) {
    auto process = desktop.CreateProcess(u"C:\\Windows\\System32\\regsvr32.exe");
    HRESULT result = E_FAIL;
    {
        pal::ScopedContext context(desktop, process);
        HMODULE provider = LoadLibraryW(kProviderPath);
        if (!provider) throw std::runtime_error("the provider cannot be loaded");
        auto call = reinterpret_cast<RegistrationProc>(GetProcAddress(provider, exportName));
        if (call) result = call();
        FreeLibrary(provider);
    }
    process->MarkExited(0);
    desktop.RemoveProcess(process->Id());
    return result;
}

std::filesystem::path BuiltModule(const std::filesystem::path& dir, const char* name) {
    for (const char* candidate : {"", "lib"}) {
        auto path = dir / (std::string(candidate) + name + ".so");
        if (std::filesystem::exists(path)) return path;
    }
    throw std::runtime_error(std::string("no built ") + name + " in " + dir.string());
}

}  // namespace

std::filesystem::path ModuleDir() {
    const char* configured = std::getenv("VELUMEX_MODULES");
    return configured && *configured ? configured : VELUMEX_MODULE_DIR;
}

HRESULT InstallProvider(pal::Machine& desktop, const std::filesystem::path& moduleDir) {
    pal::InstallModule(desktop, BuiltModule(moduleDir, "Trellium"), kProviderPath);
    pal::InstallModule(desktop, BuiltModule(moduleDir, "Trellium_res"), kResourcePath);
    return CallRegistration(desktop, "DllRegisterServer");
}

HRESULT UninstallProvider(pal::Machine& desktop) {
    HRESULT result = CallRegistration(desktop, "DllUnregisterServer");
    pal::ScopedContext context(desktop);
    DeleteFileW(kProviderPath);
    DeleteFileW(kResourcePath);
    return result;
}

bool CreateStoreByProgId(StoreRun& run, IReplStore** store) {
    char clsidText[64] = {};
    DWORD size = sizeof clsidText - 1;
    CLSID clsid = {};
    WCHAR wide[64] = {};
    HKEY key = nullptr;
    LONG found = RegOpenKeyExA(
        HKEY_CLASSES_ROOT, (std::string(kProviderProgId) + "\\CLSID").c_str(), 0, KEY_READ, &key);
    if (found == ERROR_SUCCESS) {
        found = RegQueryValueExA(key, nullptr, nullptr, nullptr,
                                 reinterpret_cast<LPBYTE>(clsidText), &size);
        RegCloseKey(key);
    }
    if (found != ERROR_SUCCESS || MultiByteToWideChar(CP_ACP, 0, clsidText, -1, wide, 64) == 0 ||
        FAILED(CLSIDFromString(wide, &clsid))) {
        run.stage = "ProgID";
        return false;
    }
    run.create = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IReplStore,
                                  reinterpret_cast<void**>(store));
    if (FAILED(run.create)) {
        run.stage = "CoCreateInstance";
        return false;
    }
    return true;
}

StoreRun RunStore(activesync::DesktopHost& host, UINT flags, const char* objType,
                  const StoreWork& work) {
    StoreRun run;
    host.Run([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        IReplStore* store = nullptr;
        if (!CreateStoreByProgId(run, &store)) {
            CoUninitialize();
            return;
        }
        IReplNotify* notify = host.CreateNotify();
        run.notify = notify;
        run.initialize = store->Initialize(notify, flags);
        HREPLFLD folder = nullptr;
        if (objType) {
            run.folderInfo =
                store->GetFolderInfo(const_cast<LPSTR>(objType), &folder, &run.handler);
            if (FAILED(run.folderInfo)) {
                run.stage = "GetFolderInfo";
                folder = nullptr;
            }
        }
        std::exception_ptr failure;
        if (run.stage.empty()) {
            try {
                work(*store, folder, run);
            } catch (...) {
                failure = std::current_exception();
            }
        }
        if (folder) store->FreeObject(folder);
        store->ReportStatus(nullptr, nullptr, RSC_RELEASE, 0);
        store->Release();
        notify->Release();
        run.notify = nullptr;
        run.handler = nullptr;
        CoUninitialize();
        if (failure) std::rethrow_exception(failure);
    });
    return run;
}

StoreInfoResult QueryStoreInfo(activesync::DesktopHost& host, UINT flags, int calls) {
    StoreInfoResult result;
    auto& boxes = host.Desktop().Get<pal::MessageBoxes>();
    boxes.Clear();
    StoreRun run =
        RunStore(host, flags, nullptr, [&](IReplStore& store, HREPLFLD, const StoreRun&) {
            for (int i = 0; i < calls; ++i) {
                BYTE id[512] = {};
                STOREINFO info = {};
                info.cbStruct = CBSTRUCT_STOREINFO;
                info.cbMaxStoreId = sizeof id;
                info.lpbStoreId = id;
                result.storeInfo.push_back(store.GetStoreInfo(&info));
                info.lpbStoreId = nullptr;
                result.info = info;
                result.storeIds.emplace_back(
                    id, id + (info.cbStoreId <= sizeof id ? info.cbStoreId : 0));
            }
        });
    result.stage = run.stage;
    result.create = run.create;
    result.initialize = run.initialize;
    result.boxes = boxes.Records();
    return result;
}

std::string ReadEngineLog(pal::Machine& desktop) {
    std::u16string path = activesync::kHostExePath;
    path = path.substr(0, path.rfind(u'.')) + u"_log.txt";
    DWORD error = 0;
    auto host = pal::ResolvePath(desktop, path, error);
    if (!host || !std::filesystem::exists(*host)) return {};
    std::ifstream in(*host, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace velumex
