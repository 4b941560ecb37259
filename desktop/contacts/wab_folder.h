// The folder of the "Address" object type: the address book. Each folder opens its own connection
// to the book when it is made and closes it when it is destroyed; the operations below assume an
// open book and fail with E_FAIL (or the result named for a failed open) without one.
#pragma once

#include <wab.h>

#include <vector>

#include "mapi_advise_sink.h"
#include "repl_object.h"
#include "wab_options.h"

class CWABItem;

// An entry identifier as the provider keeps it: the bytes the book gave, owned.
using EntryIdBytes = std::vector<BYTE>;

// The state of a running enumeration: the contents table and the object that frees its rows.
struct ContactCursor {
    IMAPITable* table = nullptr;
    IWABObject* wab = nullptr;
};

// The list separator of the device: up to 4 ANSI characters and a terminator.
constexpr int kListSeparatorSize = 5;

class CWABFolder : public CFolder {
public:
    explicit CWABFolder(CStore* store);
    ~CWABFolder() override;
    CWABFolder(const CWABFolder&) = delete;
    CWABFolder& operator=(const CWABFolder&) = delete;

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

    // Deletes every listed entry from the book, in order, and empties the list. The results
    // combined with OR; `deleted` counts the entries that went.
    HRESULT RemoveDuplicates(std::vector<EntryIdBytes>& duplicates, int* deleted);

    // Entry operations the contacts handler builds on.
    HRESULT OpenEntry(const BYTE* id, ULONG size, ULONG flags, IMailUser** user);
    HRESULT ReadLastModification(const BYTE* id, ULONG size, FILETIME* time);
    HRESULT DeleteEntry(const BYTE* id, ULONG size);
    // Stops and restarts the book's change advice around the provider's own writes.
    void SuspendAdvice();
    void ResumeAdvice();
    // Reloads the filter from the partnership key (names are replaced, not merged).
    void LoadFilter();

    HMODULE m_library;
    IWABObject* m_wab;
    IAddrBook* m_book;
    char m_separator[kListSeparatorSize];
    ContactFolderFilter m_filter;
    ContactCursor* m_cursor;
    ULONG m_connection;
    CMAPIAdviseSink m_sink;

private:
    void OpenConnection();
    void CloseConnection();
    void Advise();
    void DiscoverListSeparator();
    void EndEnumeration();
    // Opens the contents table; 0x80070103 for an empty book.
    HRESULT OpenContents();
    // The next contact as a new item: S_OK, the end (259), or E_FAIL.
    HRESULT NextContact(CWABItem** item);
};
