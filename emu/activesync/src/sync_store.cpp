#include "sync_store.h"

#include <cstdio>
#include <cstring>

namespace activesync {

std::string Hex(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
    return text;
}

namespace {

// Largest store identifier the engine keeps.
const UINT kMaxStoreId = 4096;

}  // namespace

LoadedStore::~LoadedStore() {
    if (store) {
        store->ReportStatus(nullptr, nullptr, RSC_RELEASE, 0);
        // Changes the store reported after the last pass collected them: their items are the
        // engine's to free, and after RSC_RELEASE no more can come.
        if (notify)
            for (auto& notification : notify->TakeNotifications())
                store->FreeObject(notification.item);
        store->Release();
    }
    if (notify) notify->Release();
}

std::shared_ptr<LoadedStore> LoadStore(DesktopHost& host, const std::string& progId, UINT flags) {
    HKEY key = nullptr;
    char clsidText[64] = {};
    DWORD size = sizeof clsidText - 1;
    LONG found = RegOpenKeyExA(HKEY_CLASSES_ROOT, (progId + "\\CLSID").c_str(), 0, KEY_READ, &key);
    if (found == ERROR_SUCCESS) {
        found = RegQueryValueExA(key, nullptr, nullptr, nullptr,
                                 reinterpret_cast<LPBYTE>(clsidText), &size);
        RegCloseKey(key);
    }
    WCHAR wide[64] = {};
    CLSID clsid = {};
    if (found != ERROR_SUCCESS || !MultiByteToWideChar(CP_ACP, 0, clsidText, -1, wide, 64) ||
        FAILED(CLSIDFromString(wide, &clsid)))
        throw SyncError("the desktop store \"" + progId + "\" is not registered");
    auto loaded = std::make_shared<LoadedStore>();
    HRESULT result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IReplStore,
                                      reinterpret_cast<void**>(&loaded->store));
    if (FAILED(result)) {
        loaded->store = nullptr;
        throw SyncError("the desktop store \"" + progId + "\" cannot be created (" + Hex(result) +
                        ")");
    }
    loaded->notify = host.CreateNotify();
    result = loaded->store->Initialize(loaded->notify, flags);
    if (FAILED(result))
        throw SyncError("the desktop store \"" + progId + "\" refused to start (Initialize " +
                        Hex(result) + ")");
    loaded->storeId.resize(kMaxStoreId);
    loaded->info.cbStruct = CBSTRUCT_STOREINFO;
    loaded->info.cbMaxStoreId = kMaxStoreId;
    loaded->info.lpbStoreId = loaded->storeId.data();
    result = loaded->store->GetStoreInfo(&loaded->info);
    loaded->info.lpbStoreId = nullptr;
    if (FAILED(result))
        throw SyncError("the desktop store \"" + progId + "\" cannot identify itself (" +
                        Hex(result) + ")");
    loaded->storeId.resize(std::min(loaded->info.cbStoreId, kMaxStoreId));
    return loaded;
}

SyncSession::Store::Store(std::shared_ptr<LoadedStore> loaded, const std::string& type)
    : m_loaded(std::move(loaded)), m_type(type) {
    IUnknown* handler = nullptr;
    HRESULT result =
        m_loaded->store->GetFolderInfo(const_cast<LPSTR>(m_type.c_str()), &m_folder, &handler);
    if (FAILED(result) || !m_folder || !handler) {
        if (m_folder) m_loaded->store->FreeObject(m_folder);
        m_folder = nullptr;
        throw SyncError("the desktop store has no folder for \"" + type + "\" (" + Hex(result) +
                        ")");
    }
    // The store owns its handlers: the reference the query adds goes straight back.
    if (FAILED(handler->QueryInterface(IID_IReplObjHandler, reinterpret_cast<void**>(&m_handler))) ||
        !m_handler) {
        m_loaded->store->FreeObject(m_folder);
        m_folder = nullptr;
        throw SyncError("the desktop store's \"" + type + "\" handler is no object handler");
    }
    m_handler->Release();
}

SyncSession::Store::~Store() {
    for (auto& notification : pending) m_loaded->store->FreeObject(notification.item);
    if (m_folder) m_loaded->store->FreeObject(m_folder);
}

UINT SyncSession::Store::PollInterval() const {
    return (m_loaded->info.uFlags & SCF_SIMULATE_RTS) ? m_loaded->info.uTimerRes : 0;
}

}  // namespace activesync
