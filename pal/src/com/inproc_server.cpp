#include "inproc_server.h"

#include <map>
#include <mutex>

#include "pal/modules.h"
#include "pal/registry.h"
#include "pal/runtime/components.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/process.h"

namespace pal {

namespace {

using DllGetClassObjectProc = HRESULT (*)(REFCLSID, REFIID, LPVOID*);

// The in-process servers a process has loaded for COM, by path (upper case). COM keeps its one
// reference to each until the process ends, when the module table unloads it.
class InprocServers : public Component {
public:
    explicit InprocServers(Process&) {}

    // The loaded server, or null with the last error of LoadLibraryW.
    HMODULE Load(const std::u16string& path) {
        std::lock_guard<std::mutex> guard(m_lock);
        auto key = ToUpper(path);
        auto it = m_loaded.find(key);
        if (it != m_loaded.end()) return it->second;
        HMODULE module = LoadLibraryW(path.c_str());
        if (module) m_loaded.emplace(key, module);
        return module;
    }

private:
    std::mutex m_lock;
    std::map<std::u16string, HMODULE> m_loaded;
};

}  // namespace

HRESULT InprocServerPath(REFCLSID clsid, std::u16string& path) {
    WCHAR text[39];
    StringFromGUID2(clsid, text, 39);
    std::u16string subkey = u"CLSID\\" + std::u16string(text) + u"\\InprocServer32";
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return REGDB_E_CLASSNOTREG;
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size);
    std::u16string value((size + 1) / 2, u'\0');
    if (status == ERROR_SUCCESS && type == REG_SZ)
        status = RegQueryValueExW(key, nullptr, nullptr, &type,
                                  reinterpret_cast<LPBYTE>(value.data()), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return REGDB_E_CLASSNOTREG;
    value.resize(size / 2);
    path = value.substr(0, value.find(u'\0'));
    return path.empty() ? REGDB_E_CLASSNOTREG : S_OK;
}

HRESULT InprocClassObject(REFCLSID clsid, const std::u16string& path, IClassFactory** factory) {
    *factory = nullptr;
    HMODULE module = CurrentProcess().Get<InprocServers>().Load(path);
    if (!module) return GetLastError() == ERROR_MOD_NOT_FOUND ? CO_E_DLLNOTFOUND : CO_E_ERRORINDLL;
    auto getClassObject =
        reinterpret_cast<DllGetClassObjectProc>(GetProcAddress(module, "DllGetClassObject"));
    if (!getClassObject) return CO_E_ERRORINDLL;
    return getClassObject(clsid, IID_IClassFactory, reinterpret_cast<LPVOID*>(factory));
}

}  // namespace pal
