// The folder of the "Address" object type: the address book.
#pragma once

#include <list>

#include "repl_object.h"

class CWABFolder : public CFolder {
public:
    explicit CWABFolder(CStore* store);
    ~CWABFolder() override = default;
    ObjectKind GetKind() override { return OBJECT_KIND_CONTACTS_FOLDER; }
    LPCSTR GetObjTypeName() override { return "Address"; }
    HRESULT FindFirstItem(HREPLITEM* item, BOOL* exists) override;
    HRESULT FindNextItem(HREPLITEM* item, BOOL* exists) override;
    HRESULT FindItemClose() override;
    HRESULT IsValidObject(HREPLITEM item) override;
    BOOL IsItemChanged(HREPLITEM item, HREPLITEM itemComp) override;
    BOOL IsItemReplicated(HREPLITEM item) override;
    void UpdateItem(HREPLITEM itemDst, HREPLITEM itemSrc) override;
    HRESULT GetConflictInfo(PCONFINFO info) override;
    HRESULT ActivateDialog(UINT dialog, HWND parent, IEnumReplItem* items) override;
    CItem* NewItem() override;

    // Deletes every listed entry from the address book and empties the list.
    HRESULT RemoveDuplicates(std::list<HREPLITEM>& duplicates);
};
