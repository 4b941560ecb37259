// CStore: construction, reference counting, and the slots that forward to folders and items.
#include "store.h"

#include <cstring>
#include <new>

#include "mail_folder.h"
#include "mail_handler.h"
#include "repl_object.h"
#include "resource_library.h"
#include "simple_mapi.h"
#include "wab_folder.h"
#include "wab_handler.h"

namespace {

CFolder* AsFolder(HREPLFLD folder) { return static_cast<CFolder*>(FromHandle(folder)); }
CItem* AsItem(HREPLITEM item) { return static_cast<CItem*>(FromHandle(item)); }

}  // namespace

CStore::CStore(IUnknown* outer)
    : m_refCount(0),
      m_outer(outer),
      m_mapi(nullptr),
      m_notify(nullptr),
      m_flags(0),
      m_status(S_OK),
      m_contactsHandler(nullptr),
      m_mailHandler(nullptr) {
    ClearMailClientInfo(&m_clientInfo);
    LoadResourceLibrary();
    m_contactsHandler = new (std::nothrow) CWABHandler(this);
    if (m_contactsHandler) m_mailHandler = new (std::nothrow) CMailHandler(this);
}

CStore::~CStore() {
    delete m_mapi;
    delete m_contactsHandler;
    delete m_mailHandler;
    FreeResourceLibrary();
    DestroyMailClientIcons(&m_clientInfo);
}

STDMETHODIMP CStore::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IReplStore)) {
        *ppv = static_cast<IReplStore*>(this);
        AddRef();
        return S_OK;
    }
    if (m_outer) return m_outer->QueryInterface(riid, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CStore::AddRef() {
    if (m_outer) return m_outer->AddRef();
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CStore::Release() {
    if (m_outer) return m_outer->Release();
    LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP CStore::ReportStatus(HREPLFLD, HREPLITEM, UINT uStatus, UINT) {
    if (uStatus == RSC_RELEASE && m_notify) {
        m_notify->Release();
        m_notify = nullptr;
    }
    return S_OK;
}

STDMETHODIMP_(int) CStore::CompareStoreIDs(LPBYTE lpbID1, UINT cbID1, LPBYTE lpbID2, UINT cbID2) {
    if (cbID1 != cbID2) return cbID1 < cbID2 ? -1 : 1;
    int order = cbID1 ? std::memcmp(lpbID1, lpbID2, cbID1) : 0;
    if (order < 0) return -1;
    return order > 0 ? 1 : 0;
}

STDMETHODIMP_(int) CStore::CompareItem(HREPLITEM hItem1, HREPLITEM hItem2) {
    return AsItem(hItem1)->Compare(AsItem(hItem2));
}

STDMETHODIMP_(BOOL) CStore::IsItemChanged(HREPLFLD hFolder, HREPLITEM hItem, HREPLITEM hItemComp) {
    return AsFolder(hFolder)->IsItemChanged(hItem, hItemComp);
}

STDMETHODIMP_(BOOL) CStore::IsItemReplicated(HREPLFLD hFolder, HREPLITEM hItem) {
    if (FAILED(m_status)) return FALSE;
    return AsFolder(hFolder)->IsItemReplicated(hItem);
}

STDMETHODIMP_(void) CStore::UpdateItem(HREPLFLD hFolder, HREPLITEM hItemDst, HREPLITEM hItemSrc) {
    AsFolder(hFolder)->UpdateItem(hItemDst, hItemSrc);
}

STDMETHODIMP CStore::GetFolderInfo(LPSTR lpszObjType, HREPLFLD* phFolder, IUnknown** ppObjHandler) {
    if (!lpszObjType || !phFolder || !ppObjHandler) return E_INVALIDARG;
    CFolder* folder = AsFolder(*phFolder);
    // Object type names compare without regard to case.
    if (lstrcmpiA(lpszObjType, "Address") == 0) {
        if (!folder) folder = new (std::nothrow) CWABFolder(this);
        *ppObjHandler = m_contactsHandler;
    } else if (lstrcmpiA(lpszObjType, "Message") == 0) {
        if (!folder) folder = new (std::nothrow) CMailFolder(this);
        *ppObjHandler = m_mailHandler;
    } else {
        return E_INVALIDARG;
    }
    if (!folder) return E_OUTOFMEMORY;
    folder->SetChanged();
    *phFolder = ToHandle(folder);
    return S_OK;
}

STDMETHODIMP CStore::IsFolderChanged(HREPLFLD hFolder, BOOL* pfChanged) {
    BOOL changed = AsFolder(hFolder)->IsFolderChanged();
    if (pfChanged) *pfChanged = changed;
    return S_OK;
}

STDMETHODIMP CStore::FindFirstItem(HREPLFLD hFolder, HREPLITEM* phItem, BOOL* pfExist) {
    return AsFolder(hFolder)->FindFirstItem(phItem, pfExist);
}

STDMETHODIMP CStore::FindNextItem(HREPLFLD hFolder, HREPLITEM* phItem, BOOL* pfExist) {
    return AsFolder(hFolder)->FindNextItem(phItem, pfExist);
}

STDMETHODIMP CStore::FindItemClose(HREPLFLD hFolder) { return AsFolder(hFolder)->FindItemClose(); }

STDMETHODIMP_(UINT) CStore::ObjectToBytes(HREPLOBJ hObject, LPBYTE lpb) {
    if (!hObject) return 0;
    return FromHandle(hObject)->ToBytes(lpb);
}

STDMETHODIMP_(HREPLOBJ) CStore::BytesToObject(LPBYTE lpb, UINT cb) {
    return ToHandle(ObjectFromBytes(this, lpb, cb));
}

STDMETHODIMP_(void) CStore::FreeObject(HREPLOBJ hObject) {
    if (hObject) FromHandle(hObject)->Free();
}

STDMETHODIMP_(BOOL) CStore::CopyObject(HREPLOBJ hObjectSrc, HREPLOBJ hObjectDst) {
    CReplObject* source = FromHandle(hObjectSrc);
    CReplObject* destination = FromHandle(hObjectDst);
    if (!source || !destination || source->GetKind() != destination->GetKind()) return FALSE;
    destination->m_version = HANDLE_VERSION;
    return destination->CopyFrom(source);
}

STDMETHODIMP CStore::IsValidObject(HREPLFLD hFolder, HREPLITEM hItem, UINT) {
    if (!hFolder) return S_OK;
    return AsFolder(hFolder)->IsValidObject(hItem);
}

STDMETHODIMP CStore::ActivateDialog(UINT uDialog, HWND hwndParent, HREPLFLD hFolder,
                                    IEnumReplItem* penum) {
    if (uDialog != OBJTYPE_DLG_OPTIONS) return E_NOTIMPL;
    if (!hFolder) return E_INVALIDARG;
    return AsFolder(hFolder)->ActivateDialog(OBJTYPE_DLG_OPTIONS, hwndParent, penum);
}

STDMETHODIMP CStore::GetObjTypeUIData(HREPLFLD hFolder, POBJUIDATA pData) {
    if (!pData || pData->cbStruct != CBSTRUCT_OBJUIDATA) return E_INVALIDARG;
    std::strcpy(pData->szName, STORE_DESCRIPTION);
    std::strcpy(pData->szTypeText, "Database");
    std::strcpy(pData->szPlTypeText, "Databases");
    CFolder* folder = AsFolder(hFolder);
    if (folder && folder->GetKind() == OBJECT_KIND_CONTACTS_FOLDER) {
        pData->hIconLarge = m_clientInfo.m_wabIconLarge;
        pData->hIconSmall = m_clientInfo.m_wabIconSmall;
        std::strcpy(pData->szSyncText, "Address Book");
    } else {
        pData->hIconLarge = m_clientInfo.m_mailIconLarge;
        pData->hIconSmall = m_clientInfo.m_mailIconSmall;
        std::strcpy(pData->szSyncText, "Internet Mail");
    }
    return S_OK;
}

STDMETHODIMP CStore::GetConflictInfo(PCONFINFO pConfInfo) {
    if (!pConfInfo || pConfInfo->cbStruct != CBSTRUCT_CONFINFO) return E_INVALIDARG;
    if (!pConfInfo->hFolder) return E_INVALIDARG;
    return AsFolder(pConfInfo->hFolder)->GetConflictInfo(pConfInfo);
}

STDMETHODIMP CStore::RemoveDuplicates(LPSTR lpszObjType, UINT) {
    if (lpszObjType && lstrcmpiA(lpszObjType, "Address") != 0) return E_NOTIMPL;
    if (m_contactsHandler->m_duplicates.empty()) return S_OK;
    CWABFolder* folder = new (std::nothrow) CWABFolder(this);
    if (!folder) return E_OUTOFMEMORY;
    int deleted = 0;
    HRESULT result = folder->RemoveDuplicates(m_contactsHandler->m_duplicates, &deleted);
    delete folder;
    // Any entry gone changes what the engine compared: it compares again.
    if (deleted) return RERR_RESTART;
    return FAILED(result) ? result : S_OK;
}
