// The desktop provider as the command line and the scenarios drive it: installing and
// registering it in a desktop, and creating its store the way the engine does.
#pragma once

#include <replication.h>
#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "activesync/desktop_host.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/message_boxes.h"

namespace velumex {

inline constexpr char16_t kProviderFolder[] = u"C:\\Program Files\\Velumex";
inline constexpr char16_t kProviderPath[] = u"C:\\Program Files\\Velumex\\Trellium.dll";
inline constexpr char16_t kResourcePath[] = u"C:\\Program Files\\Velumex\\Trellium_res.dll";
inline constexpr char kProviderProgId[] = "KV.WinCE.OE.3";

// The folder holding the built modules (the build's module folder unless $VELUMEX_MODULES says).
std::filesystem::path ModuleDir();

// Copies Trellium.dll and Trellium_res.dll into the provider folder and calls DllRegisterServer
// in a desktop process. Returns its result; throws std::runtime_error when a file is missing.
HRESULT InstallProvider(pal::Machine& desktop, const std::filesystem::path& moduleDir);
// Calls DllUnregisterServer in a desktop process and removes both files. Returns its result.
HRESULT UninstallProvider(pal::Machine& desktop);

// A store the engine made on its store thread, and how far that got.
struct StoreRun {
    std::string stage;  // "ProgID", "CoCreateInstance", "GetFolderInfo"; empty when all ran
    HRESULT create = E_FAIL;
    HRESULT initialize = E_FAIL;
    HRESULT folderInfo = E_FAIL;
    IReplNotify* notify = nullptr;  // the engine callback Initialize was given, while the work runs
    IUnknown* handler = nullptr;    // the object handler GetFolderInfo gave (the store owns it)
};

// On a COM thread of the engine's process: ProgID → HKEY_CLASSES_ROOT → CLSID →
// CoCreateInstance. False, with the failing stage ("ProgID" or "CoCreateInstance") and result in
// `run`, when no store was made.
bool CreateStoreByProgId(StoreRun& run, IReplStore** store);

// Work on a created store: the store, the folder of the type asked for (null when none was), and
// how the run went so far (Initialize's result).
using StoreWork = std::function<void(IReplStore& store, HREPLFLD folder, const StoreRun& run)>;

// On the host's store thread, as the engine does it: ProgID → HKEY_CLASSES_ROOT → CLSID →
// CoCreateInstance, Initialize with a fresh engine callback and `flags`; then, when `objType` is
// given, GetFolderInfo for it; then `work` (also when Initialize failed: the work sees
// run.initialize). At the end the folder is freed through FreeObject, the store is sent
// RSC_RELEASE and released. An exception from `work` is rethrown after that.
StoreRun RunStore(activesync::DesktopHost& host, UINT flags, const char* objType,
                  const StoreWork& work);

// What the engine learns from a store it creates through COM.
struct StoreInfoResult {
    std::string stage;  // the step that failed, empty when every step ran
    HRESULT create = E_FAIL;
    HRESULT initialize = E_FAIL;
    std::vector<HRESULT> storeInfo;  // one per GetStoreInfo call
    STOREINFO info = {};
    std::vector<std::vector<BYTE>> storeIds;  // the identifier of each call
    std::vector<pal::MessageBoxRecord> boxes;
};

// On the host's store thread: ProgID → HKEY_CLASSES_ROOT → CLSID → CoCreateInstance, Initialize
// with a fresh engine callback and `flags`, then GetStoreInfo `calls` times; the store is sent
// RSC_RELEASE and released at the end. Records the message boxes shown meanwhile.
StoreInfoResult QueryStoreInfo(activesync::DesktopHost& host, UINT flags, int calls);

// The desktop log of the engine's process (empty when there is none).
std::string ReadEngineLog(pal::Machine& desktop);

}  // namespace velumex
