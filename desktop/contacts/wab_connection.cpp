// CWABFolder: the connection to the address book (opening, advice, closing), the entry operations
// and the enumeration of contacts, and the device's list separator.
#include <rapi.h>

#include <cstring>
#include <new>

#include "partnership_key.h"
#include "st_log_file.h"
#include "store.h"
#include "wab_folder.h"
#include "wab_item.h"

namespace {

// Low word of ERROR_NO_MORE_ITEMS: the end of the table.
constexpr HRESULT kEndOfTable = 259;
// ERROR_NO_MORE_ITEMS as an HRESULT: the table is empty.
constexpr HRESULT kEmptyTable = static_cast<HRESULT>(0x80070103L);
// Read access to a device key.
constexpr REGSAM kDeviceReadAccess = 0x20019;

// The default value of HKLM "Software\Microsoft\WAB\DLLPath"; empty when it cannot be read.
void ReadLibraryPath(char* path, DWORD size) {
    path[0] = '\0';
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\WAB\\DLLPath", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    DWORD type = 0;
    DWORD bytes = size - 1;
    if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(path), &bytes) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        bytes = 0;
    path[bytes < size ? bytes : size - 1] = '\0';
    RegCloseKey(key);
}

}  // namespace

CWABFolder::CWABFolder(CStore* store)
    : CFolder(store),
      m_library(nullptr),
      m_wab(nullptr),
      m_book(nullptr),
      m_separator{},
      m_cursor(nullptr),
      m_connection(0) {
    // A folder starts out changed, so that the engine compares it at once.
    m_changed = 1;
    // A folder rebuilt without a store has no book to reach.
    if (store) OpenConnection();
}

CWABFolder::~CWABFolder() {
    if (m_store) CloseConnection();
    m_filter = ContactFolderFilter();
}

void CWABFolder::OpenConnection() {
    CSTLogScope scope("Initializing Address Book object...");
    char path[MAX_PATH + 1];
    ReadLibraryPath(path, sizeof path);
    ST_LOG("WAB dll path is %s", path);
    m_library = LoadLibraryA(path[0] ? path : "WAB32.dll");
    if (m_library) {
        ST_LOG("WAB dll successfully loaded");
        auto open = reinterpret_cast<LPWABOPEN>(GetProcAddress(m_library, "WABOpen"));
        if (open) {
            WAB_PARAM param = {};
            param.cbSize = WAB_PARAM_SIZE;
            param.hwnd = m_store->m_notify ? m_store->m_notify->GetWindow(0) : nullptr;
            param.szFileName = nullptr;
            param.ulFlags = WAB_ENABLE_PROFILES;
            IAddrBook* book = nullptr;
            IWABObject* wab = nullptr;
            if (open(&book, &wab, &param, 0) == S_OK) {
                ST_LOG("WABOpen successful");
                m_book = book;
                m_wab = wab;
            } else {
                // What a failed open leaves in its outputs is not to be trusted.
                ST_LOG("WABOpen failed!");
            }
        }
    }
    if (m_book) Advise();
    DiscoverListSeparator();
    LoadFilter();
}

void CWABFolder::Advise() {
    m_sink.SetFolder(this);
    m_connection = 0;
    m_book->Advise(0, nullptr, fnevObjectModified, &m_sink, &m_connection);
}

void CWABFolder::SuspendAdvice() {
    if (m_book && m_connection) m_book->Unadvise(m_connection);
    m_connection = 0;
}

void CWABFolder::ResumeAdvice() {
    if (m_book) Advise();
}

void CWABFolder::CloseConnection() {
    CSTLogScope scope("Uninitializing Address Book object...");
    // A running enumeration holds a table of this book: it goes first.
    EndEnumeration();
    if (m_book) {
        if (m_connection) m_book->Unadvise(m_connection);
        m_book->Release();
        m_book = nullptr;
    }
    if (m_wab) {
        m_wab->Release();
        m_wab = nullptr;
    }
    if (m_library) {
        FreeLibrary(m_library);
        m_library = nullptr;
    }
}

void CWABFolder::LoadFilter() {
    HKEY key = QueryPartnershipKey(m_store->m_notify, m_store->m_flags);
    if (!key) return;
    LoadContactOptions(key, &m_filter);
    RegCloseKey(key);
}

void CWABFolder::DiscoverListSeparator() {
    std::memset(m_separator, 0, sizeof m_separator);
    HKEY nls = nullptr;
    // The device's national-language settings; unreachable without a device.
    if (CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, W("nls"), 0, kDeviceReadAccess, &nls) == ERROR_SUCCESS) {
        HKEY overrides = nullptr;
        if (CeRegOpenKeyEx(nls, W("overrides"), 0, kDeviceReadAccess, &overrides) == ERROR_SUCCESS) {
            WCHAR list[MAX_PATH / 2 + 1] = {};
            DWORD type = 0;
            DWORD size = sizeof list - sizeof(WCHAR);
            if (CeRegQueryValueEx(overrides, W("SList"), nullptr, &type,
                                  reinterpret_cast<LPBYTE>(list), &size) == ERROR_SUCCESS &&
                type == REG_SZ) {
                // A separator that does not fit the field leaves it empty: the next source counts.
                if (WideCharToMultiByte(CP_ACP, 0, list, -1, m_separator, kListSeparatorSize,
                                        nullptr, nullptr) == 0)
                    std::memset(m_separator, 0, sizeof m_separator);
            }
            CeRegCloseKey(overrides);
        }
        if (!m_separator[0]) {
            DWORD lcid = 0;
            DWORD type = 0;
            DWORD size = sizeof lcid;
            if (CeRegQueryValueEx(nls, W("DefaultLCID"), nullptr, &type,
                                  reinterpret_cast<LPBYTE>(&lcid), &size) == ERROR_SUCCESS &&
                type == REG_DWORD && size == sizeof lcid &&
                GetLocaleInfoA(lcid, LOCALE_SLIST, m_separator, kListSeparatorSize) == 0)
                std::memset(m_separator, 0, sizeof m_separator);
        }
        CeRegCloseKey(nls);
    }
    if (!m_separator[0] &&
        GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SLIST, m_separator, kListSeparatorSize) == 0)
        std::memset(m_separator, 0, sizeof m_separator);
    if (!m_separator[0]) std::strcpy(m_separator, ",");
}

HRESULT CWABFolder::OpenEntry(const BYTE* id, ULONG size, ULONG flags, IMailUser** user) {
    *user = nullptr;
    if (!m_book) return E_FAIL;
    if (!id || !size) return MAPI_E_INVALID_ENTRYID;
    ULONG type = 0;
    IUnknown* object = nullptr;
    HRESULT result = m_book->OpenEntry(size, const_cast<LPBYTE>(id), nullptr, flags, &type, &object);
    if (FAILED(result)) return result;
    *user = static_cast<IMailUser*>(object);
    return S_OK;
}

HRESULT CWABFolder::ReadLastModification(const BYTE* id, ULONG size, FILETIME* time) {
    IMailUser* user = nullptr;
    HRESULT result = OpenEntry(id, size, 0, &user);
    if (FAILED(result)) return result;
    SPropTagArray tags = {1, {PR_LAST_MODIFICATION_TIME}};
    ULONG count = 0;
    LPSPropValue props = nullptr;
    result = user->GetProps(&tags, 0, &count, &props);
    if (SUCCEEDED(result)) {
        if (count == 1 && props && props[0].ulPropTag == PR_LAST_MODIFICATION_TIME)
            *time = props[0].Value.ft;
        else
            result = MAPI_E_NOT_FOUND;
    }
    if (props) m_wab->FreeBuffer(props);
    user->Release();
    return result == MAPI_W_ERRORS_RETURNED ? MAPI_E_NOT_FOUND : result;
}

HRESULT CWABFolder::DeleteEntry(const BYTE* id, ULONG size) {
    if (!m_book) return E_FAIL;
    ULONG type = 0;
    IUnknown* root = nullptr;
    HRESULT result = m_book->OpenEntry(0, nullptr, nullptr, 0, &type, &root);
    if (FAILED(result)) return result;
    SBinary bin = {size, const_cast<LPBYTE>(id)};
    ENTRYLIST list = {1, &bin};
    result = static_cast<IABContainer*>(root)->DeleteEntries(&list, 0);
    root->Release();
    return result;
}

void CWABFolder::EndEnumeration() {
    if (!m_cursor) return;
    if (m_cursor->table) m_cursor->table->Release();
    delete m_cursor;
    m_cursor = nullptr;
}

HRESULT CWABFolder::OpenContents() {
    EndEnumeration();
    if (!m_book) return E_FAIL;
    m_cursor = new (std::nothrow) ContactCursor;
    if (!m_cursor) return E_OUTOFMEMORY;
    m_cursor->wab = m_wab;
    ULONG size = 0;
    LPBYTE pab = nullptr;
    HRESULT result = m_book->GetPAB(&size, &pab);
    if (FAILED(result)) return result;
    {
        CSTLogScope scope("PAB Entry ID object obtained...");
        ULONG type = 0;
        IUnknown* container = nullptr;
        result = m_book->OpenEntry(size, pab, nullptr, 0, &type, &container);
        if (SUCCEEDED(result)) {
            result = static_cast<IABContainer*>(container)->GetContentsTable(
                WAB_PROFILE_CONTENTS | WAB_LOCAL_CONTAINERS, &m_cursor->table);
            container->Release();
        }
    }
    m_wab->FreeBuffer(pab);
    if (FAILED(result)) return result;
    ULONG rows = 0;
    result = m_cursor->table->GetRowCount(0, &rows);
    if (FAILED(result)) return result;
    if (rows == 0) return kEmptyTable;
    struct {
        ULONG cValues;
        ULONG aulPropTag[2];
    } columns = {2, {PR_ENTRYID, PR_OBJECT_TYPE}};
    result = m_cursor->table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0);
    if (FAILED(result)) return result;
    return m_cursor->table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr);
}

HRESULT CWABFolder::NextContact(CWABItem** item) {
    *item = nullptr;
    if (!m_cursor || !m_cursor->table) return E_FAIL;
    for (;;) {
        LPSRowSet rows = nullptr;
        if (FAILED(m_cursor->table->QueryRows(1, 0, &rows))) return E_FAIL;
        if (!rows || rows->cRows == 0) {
            if (rows) m_wab->FreeBuffer(rows);
            return kEndOfTable;
        }
        const SRow& row = rows->aRow[0];
        const SPropValue* entryId = nullptr;
        bool contact = false;
        for (ULONG i = 0; i < row.cValues; ++i) {
            if (row.lpProps[i].ulPropTag == PR_ENTRYID) entryId = &row.lpProps[i];
            if (row.lpProps[i].ulPropTag == PR_OBJECT_TYPE && row.lpProps[i].Value.l == MAPI_MAILUSER)
                contact = true;
        }
        HRESULT result = S_OK;
        CWABItem* made = nullptr;
        if (contact && entryId) {
            made = new (std::nothrow) CWABItem();
            if (made) made->SetEntryId(entryId->Value.bin.lpb, entryId->Value.bin.cb);
            if (!made || !made->m_entryId ||
                FAILED(ReadLastModification(made->EntryIdBytes(), made->EntryIdSize(),
                                            &made->m_modified))) {
                delete made;
                made = nullptr;
                result = E_FAIL;
            }
        }
        m_wab->FreeBuffer(row.lpProps);
        m_wab->FreeBuffer(rows);
        if (FAILED(result)) return result;
        if (made) {
            *item = made;
            return S_OK;
        }
    }
}

HRESULT CWABFolder::FindFirstItem(HREPLITEM* item, BOOL* exists) {
    *exists = FALSE;
    HRESULT result = OpenContents();
    if (FAILED(result)) return (result & 0xFFFF) == 0x0103 ? S_OK : E_FAIL;
    return FindNextItem(item, exists);
}

HRESULT CWABFolder::FindNextItem(HREPLITEM* item, BOOL* exists) {
    *exists = FALSE;
    CWABItem* next = nullptr;
    HRESULT result = NextContact(&next);
    if (result == kEndOfTable) return S_OK;
    if (FAILED(result)) return E_FAIL;
    *item = ToHandle(next);
    *exists = TRUE;
    return S_OK;
}

HRESULT CWABFolder::FindItemClose() {
    EndEnumeration();
    return S_OK;
}
