#include "wab_folder.h"

#include <new>

#include "wab_item.h"

// Enumeration, the folder filter, change stamps, conflicts and the options dialog of the address
// book are not available in this build: those slots answer E_NOTIMPL, and the BOOL slots FALSE.

CWABFolder::CWABFolder(CStore* store) : CFolder(store) { m_changed = 1; }

HRESULT CWABFolder::FindFirstItem(HREPLITEM*, BOOL*) { return E_NOTIMPL; }

HRESULT CWABFolder::FindNextItem(HREPLITEM*, BOOL*) { return E_NOTIMPL; }

HRESULT CWABFolder::FindItemClose() { return E_NOTIMPL; }

HRESULT CWABFolder::IsValidObject(HREPLITEM) { return E_NOTIMPL; }

BOOL CWABFolder::IsItemChanged(HREPLITEM, HREPLITEM) { return FALSE; }

BOOL CWABFolder::IsItemReplicated(HREPLITEM) { return FALSE; }

void CWABFolder::UpdateItem(HREPLITEM, HREPLITEM) {}

HRESULT CWABFolder::GetConflictInfo(PCONFINFO) { return E_NOTIMPL; }

HRESULT CWABFolder::ActivateDialog(UINT, HWND, IEnumReplItem*) { return E_NOTIMPL; }

CItem* CWABFolder::NewItem() { return new (std::nothrow) CWABItem(); }

HRESULT CWABFolder::RemoveDuplicates(std::list<HREPLITEM>&) { return E_NOTIMPL; }
