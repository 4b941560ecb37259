#include "mail_folder.h"

#include <new>

#include "mail_item.h"
#include "store.h"

// Enumeration, selection, change stamps and the options dialog of the Inbox are not available
// in this build: those slots answer E_NOTIMPL, and the BOOL slots FALSE.

CMailFolder::CMailFolder(CStore* store) : CFolder(store) {
    m_changed = 1;
    m_wndHidden.m_owner = this;
    if (store && store->m_notify) m_wndHidden.Create();
}

CMailFolder::~CMailFolder() {
    if (m_wndHidden.m_hWnd) m_wndHidden.Destroy();
}

HRESULT CMailFolder::FindFirstItem(HREPLITEM*, BOOL*) { return E_NOTIMPL; }

HRESULT CMailFolder::FindNextItem(HREPLITEM*, BOOL*) { return E_NOTIMPL; }

HRESULT CMailFolder::FindItemClose() { return E_NOTIMPL; }

HRESULT CMailFolder::IsValidObject(HREPLITEM) { return E_NOTIMPL; }

BOOL CMailFolder::IsItemChanged(HREPLITEM, HREPLITEM) { return FALSE; }

BOOL CMailFolder::IsItemReplicated(HREPLITEM) { return FALSE; }

void CMailFolder::UpdateItem(HREPLITEM, HREPLITEM) {}

HRESULT CMailFolder::GetConflictInfo(PCONFINFO) { return RERR_IGNORE; }

HRESULT CMailFolder::ActivateDialog(UINT, HWND, IEnumReplItem*) { return E_NOTIMPL; }

CItem* CMailFolder::NewItem() { return new (std::nothrow) CMailItem(); }
