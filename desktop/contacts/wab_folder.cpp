// CWABFolder: the slots the store forwards for the "Address" folder.
#include "wab_folder.h"

#include <cstring>
#include <new>

#include "../resources/resource_ids.h"
#include "partnership_key.h"
#include "resource_library.h"
#include "st_log_file.h"
#include "store.h"
#include "wab_item.h"
#include "wab_opt_dlg.h"

namespace {

CWABItem* AsContact(HREPLITEM item) { return static_cast<CWABItem*>(FromHandle(item)); }

// The display name of an entry into a description field of `size` characters, cut to fit.
bool ReadDisplayName(CWABFolder* folder, CWABItem* item, char* out, size_t size) {
    if (!item) return false;
    IMailUser* user = nullptr;
    if (FAILED(folder->OpenEntry(item->EntryIdBytes(), item->EntryIdSize(), 0, &user))) return false;
    SPropTagArray tags = {1, {PR_DISPLAY_NAME_A}};
    ULONG count = 0;
    LPSPropValue props = nullptr;
    HRESULT result = user->GetProps(&tags, 0, &count, &props);
    bool read = SUCCEEDED(result) && count == 1 && props[0].ulPropTag == PR_DISPLAY_NAME_A;
    if (read) {
        std::strncpy(out, props[0].Value.lpszA, size - 1);
        out[size - 1] = '\0';
    }
    if (props) folder->m_wab->FreeBuffer(props);
    user->Release();
    return read;
}

}  // namespace

HRESULT CWABFolder::IsValidObject(HREPLITEM item) {
    CSTLogScope scope("IsValidObject (check if Address Book entry is still valid)");
    if (!item) return S_OK;
    CWABItem* contact = AsContact(item);
    IMailUser* user = nullptr;
    if (FAILED(OpenEntry(contact->EntryIdBytes(), contact->EntryIdSize(), 0, &user)))
        return RERR_OBJECT_DELETED;
    user->Release();
    return S_OK;
}

BOOL CWABFolder::IsItemChanged(HREPLITEM item, HREPLITEM itemComp) {
    CSTLogScope scope("IsItemChanged (check if a particular item is changed)");
    CWABItem* contact = AsContact(item);
    FILETIME other = {};
    if (itemComp) {
        other = AsContact(itemComp)->m_modified;
    } else if (FAILED(ReadLastModification(contact->EntryIdBytes(), contact->EntryIdSize(),
                                           &other))) {
        return FALSE;
    }
    return CompareFileTime(&contact->m_modified, &other) != 0;
}

void CWABFolder::UpdateItem(HREPLITEM itemDst, HREPLITEM itemSrc) {
    CSTLogScope scope("UpdateItem (update timestamp on saved Address Book entry)");
    CWABItem* destination = AsContact(itemDst);
    if (itemSrc) {
        destination->m_modified = AsContact(itemSrc)->m_modified;
        return;
    }
    FILETIME time = {};
    if (SUCCEEDED(ReadLastModification(destination->EntryIdBytes(), destination->EntryIdSize(),
                                       &time)))
        destination->m_modified = time;
}

BOOL CWABFolder::IsItemReplicated(HREPLITEM item) {
    CSTLogScope scope("IsItemReplicated (check if an item was filtered out from replication)");
    if (m_filter.allFolders) return TRUE;
    CWABItem* contact = AsContact(item);
    IMailUser* user = nullptr;
    if (FAILED(OpenEntry(contact->EntryIdBytes(), contact->EntryIdSize(), 0, &user))) return FALSE;
    BOOL replicated = FALSE;
    SPropTagArray tags = {1, {PR_WAB_FOLDER_PARENT}};
    ULONG count = 0;
    LPSPropValue parents = nullptr;
    HRESULT result = user->GetProps(&tags, 0, &count, &parents);
    if (FAILED(result) || count != 1 || parents[0].ulPropTag != PR_WAB_FOLDER_PARENT ||
        parents[0].Value.MVbin.cValues == 0) {
        replicated = m_filter.unfiled;
    } else {
        // Only the first folder holding the entry counts.
        const SBinary& first = parents[0].Value.MVbin.lpbin[0];
        ULONG type = 0;
        IUnknown* folder = nullptr;
        if (SUCCEEDED(m_book->OpenEntry(first.cb, first.lpb, nullptr, MAPI_BEST_ACCESS, &type,
                                        &folder))) {
            SPropTagArray nameTag = {1, {PR_DISPLAY_NAME_A}};
            ULONG nameCount = 0;
            LPSPropValue name = nullptr;
            HRESULT read =
                static_cast<IMailUser*>(folder)->GetProps(&nameTag, 0, &nameCount, &name);
            if (SUCCEEDED(read) && nameCount == 1 && name[0].ulPropTag == PR_DISPLAY_NAME_A &&
                m_filter.folders.count(name[0].Value.lpszA))
                replicated = TRUE;
            if (name) m_wab->FreeBuffer(name);
            folder->Release();
        }
    }
    if (parents) m_wab->FreeBuffer(parents);
    user->Release();
    return replicated;
}

HRESULT CWABFolder::GetConflictInfo(PCONFINFO info) {
    CSTLogScope scope("GetConflictInfo (get info for conflicting items)");
    std::strcpy(info->szLocalName, "Contact");
    std::strcpy(info->szRemoteName, "Contact");
    if (ReadDisplayName(this, AsContact(info->hLocalItem), info->szLocalDesc,
                        sizeof info->szLocalDesc))
        ReadDisplayName(this, AsContact(info->hRemoteItem), info->szRemoteDesc,
                        sizeof info->szRemoteDesc);
    return S_OK;
}

CItem* CWABFolder::NewItem() { return new (std::nothrow) CWABItem(); }

HRESULT CWABFolder::RemoveDuplicates(std::vector<EntryIdBytes>& duplicates, int* deleted) {
    CSTLogScope scope("RemoveDuplicates (try to detect duplicate items and remove them)");
    *deleted = 0;
    if (m_store->m_notify) {
        char text[MAX_PATH + 1] = {};
        LoadResourceText(IDS_REMOVING_DUPLICATES, text, MAX_PATH + 1);
        m_store->m_notify->SetStatusText(text);
    }
    HRESULT combined = S_OK;
    for (const EntryIdBytes& id : duplicates) {
        HRESULT result = DeleteEntry(id.data(), static_cast<ULONG>(id.size()));
        if (SUCCEEDED(result)) ++*deleted;
        combined |= result;
    }
    duplicates.clear();
    return combined;
}

HRESULT CWABFolder::ActivateDialog(UINT dialog, HWND parent, IEnumReplItem*) {
    if (dialog != OBJTYPE_DLG_OPTIONS) return E_NOTIMPL;
    CSTLogScope scope("CWABFolder::ActivateDialog");
    if (!m_store->m_notify) return E_NOTIMPL;
    HKEY key = QueryPartnershipKey(m_store->m_notify, m_store->m_flags);
    if (!key) return E_FAIL;
    LoadContactOptions(key, &m_filter);
    CWABOptDlg options(parent, this);
    INT_PTR answer = options.Run();
    HRESULT result = E_FAIL;
    if (answer == IDOK) {
        if (!(options.m_filter == m_filter)) {
            m_filter = options.m_filter;
            if (SaveContactOptions(key, m_filter) != ERROR_SUCCESS)
                ST_LOG("Contacts options could not be saved");
        }
        result = S_OK;
    } else if (answer == IDCANCEL) {
        result = RERR_CANCEL;
    }
    RegCloseKey(key);
    return result;
}
