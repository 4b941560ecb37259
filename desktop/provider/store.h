// The desktop store: the object the synchronization engine creates through the class factory and
// drives through IReplStore. It checks at Initialize whether this partnership may synchronize
// mail and contacts, identifies itself (GetStoreInfo), creates one folder per object type and
// hands out the two object handlers, and forwards every folder and item question to the folder
// and item objects. Single-threaded: the engine makes every call on one thread.
#pragma once

#include <replication.h>
#include <windows.h>

#include "mail_client_info.h"

class CSimpleMAPI;
class CMailHandler;
class CWABHandler;

// The store's ProgID, its description towards the engine, and its class id.
#define STORE_PROGID "KV.WinCE.OE.3"
#define STORE_DESCRIPTION "Outlook Express"
#define STORE_CLSID_TEXT "{B09BEBD5-0544-48e5-BBA0-7AAD157B3AA0}"
DEFINE_GUID(CLSID_VelumexStore, 0xB09BEBD5, 0x0544, 0x48e5, 0xBB, 0xA0, 0x7A, 0xAD, 0x15, 0x7B,
            0x3A, 0xA0);

// Results of Initialize's partnership checks.
#define VELUMEX_E_MAIL_ELSEWHERE static_cast<HRESULT>(0x805B0065L)
#define VELUMEX_E_CONTACTS_ELSEWHERE static_cast<HRESULT>(0x805B0066L)
#define VELUMEX_E_BOTH_ELSEWHERE static_cast<HRESULT>(0x805B0067L)

// Set in the flags once Initialize succeeded.
#define STORE_INITIALIZED 0x80000000u

class CStore : public IReplStore {
public:
    explicit CStore(IUnknown* outer);
    virtual ~CStore();
    // False when a part could not be allocated; the store is then destroyed unused.
    bool IsComplete() const { return m_contactsHandler && m_mailHandler; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Initialize(IReplNotify* pNotify, UINT uFlags) override;
    STDMETHODIMP GetStoreInfo(PSTOREINFO pStoreInfo) override;
    STDMETHODIMP ReportStatus(HREPLFLD hFolder, HREPLITEM hItem, UINT uStatus,
                              UINT uParam) override;
    STDMETHODIMP_(int)
    CompareStoreIDs(LPBYTE lpbID1, UINT cbID1, LPBYTE lpbID2, UINT cbID2) override;
    STDMETHODIMP_(int) CompareItem(HREPLITEM hItem1, HREPLITEM hItem2) override;
    STDMETHODIMP_(BOOL)
    IsItemChanged(HREPLFLD hFolder, HREPLITEM hItem, HREPLITEM hItemComp) override;
    STDMETHODIMP_(BOOL) IsItemReplicated(HREPLFLD hFolder, HREPLITEM hItem) override;
    STDMETHODIMP_(void)
    UpdateItem(HREPLFLD hFolder, HREPLITEM hItemDst, HREPLITEM hItemSrc) override;
    STDMETHODIMP GetFolderInfo(LPSTR lpszObjType, HREPLFLD* phFolder,
                               IUnknown** ppObjHandler) override;
    STDMETHODIMP IsFolderChanged(HREPLFLD hFolder, BOOL* pfChanged) override;
    STDMETHODIMP FindFirstItem(HREPLFLD hFolder, HREPLITEM* phItem, BOOL* pfExist) override;
    STDMETHODIMP FindNextItem(HREPLFLD hFolder, HREPLITEM* phItem, BOOL* pfExist) override;
    STDMETHODIMP FindItemClose(HREPLFLD hFolder) override;
    STDMETHODIMP_(UINT) ObjectToBytes(HREPLOBJ hObject, LPBYTE lpb) override;
    STDMETHODIMP_(HREPLOBJ) BytesToObject(LPBYTE lpb, UINT cb) override;
    STDMETHODIMP_(void) FreeObject(HREPLOBJ hObject) override;
    STDMETHODIMP_(BOOL) CopyObject(HREPLOBJ hObjectSrc, HREPLOBJ hObjectDst) override;
    STDMETHODIMP IsValidObject(HREPLFLD hFolder, HREPLITEM hItem, UINT uFlags) override;
    STDMETHODIMP ActivateDialog(UINT uDialog, HWND hwndParent, HREPLFLD hFolder,
                                IEnumReplItem* penum) override;
    STDMETHODIMP GetObjTypeUIData(HREPLFLD hFolder, POBJUIDATA pData) override;
    STDMETHODIMP GetConflictInfo(PCONFINFO pConfInfo) override;
    STDMETHODIMP RemoveDuplicates(LPSTR lpszObjType, UINT uFlags) override;

    // The identifier's length: the store number, the identity and the address-book path.
    UINT StoreIdSize() const;

    LONG m_refCount;
    IUnknown* m_outer;
    CSimpleMAPI* m_mapi;
    IReplNotify* m_notify;
    UINT m_flags;
    MailClientInfo m_clientInfo;
    HRESULT m_status;
    CWABHandler* m_contactsHandler;
    CMailHandler* m_mailHandler;

private:
    // Initialize's checks of the connected partnership; the status they arrive at.
    HRESULT CheckPartnership(IReplNotify* notify);
    // Asks the device which contacts provider is active (2, 6 or 7; 1 without an answer).
    DWORD QueryContactsMode(IReplNotify* notify);
    // Binds mail to this partnership through the device's "MessagePId"; the status.
    HRESULT BindMail(DWORD deviceId);
};
