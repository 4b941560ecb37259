// The objects behind the handles ActiveSync holds: folders (one per object type and store) and
// items (one per synchronized object), with the byte form of a handle that ActiveSync persists
// between runs. Handle bytes: version (16-bit, written as 2), kind (32-bit), then the kind's
// payload, all little-endian.
#pragma once

#include <replication.h>
#include <windows.h>

#include <list>

class CStore;

// Kind codes stored in every handle; fixed, since handles outlive the provider run that wrote them.
enum ObjectKind : DWORD {
    OBJECT_KIND_CONTACT = 1,
    OBJECT_KIND_CONTACTS_FOLDER = 2,
    OBJECT_KIND_MAIL_ITEM = 5,
    OBJECT_KIND_MAIL_FOLDER = 6,
};

// The handle format version every writer writes.
constexpr WORD HANDLE_VERSION = 2;
// Size of the header (version and kind) that starts every handle.
constexpr UINT HANDLE_HEADER_SIZE = 6;

class CReplObject {
public:
    virtual ~CReplObject() = default;
    virtual ObjectKind GetKind() = 0;
    // Releases the object and everything it owns.
    virtual void Free() = 0;
    // Writes the handle bytes into `buffer` unless it is null and returns their size. The base
    // writes the header (version 2 and the kind); each class appends its payload.
    virtual UINT ToBytes(LPBYTE buffer);
    // Loads the payload that follows the header, as the version held in the object says. FALSE
    // when `size` bytes do not hold the whole payload; the object is then not to be used.
    virtual BOOL FromBytes(const BYTE* payload, UINT size) = 0;
    // Takes over the state of another object of the same kind; TRUE.
    virtual BOOL CopyFrom(CReplObject* source) = 0;

    WORD m_version = 0;
};

class CItem : public CReplObject {
public:
    CItem() { m_version = HANDLE_VERSION; }
    // Orders two items of one kind: -1, 0 or 1.
    virtual int Compare(CItem* other) = 0;
};

// One folder per object type and store: enumerates items, judges changes and filters, shows the
// options dialog. The handle of a folder is its header alone; restoring one builds a fresh folder.
class CFolder : public CReplObject {
public:
    explicit CFolder(CStore* store) : m_store(store), m_changed(0) {}
    // Frees every owned item through the store's FreeObject, then the folder.
    void Free() override;
    UINT ToBytes(LPBYTE buffer) override;
    BOOL FromBytes(const BYTE*, UINT) override { return TRUE; }
    BOOL CopyFrom(CReplObject*) override { return TRUE; }

    // The engine's object type name of the folder's objects.
    virtual LPCSTR GetObjTypeName() = 0;
    // Starts a new enumeration of the objects in scope and delivers the first as a new item.
    virtual HRESULT FindFirstItem(HREPLITEM* item, BOOL* exists) = 0;
    // The next object as a new item (exists TRUE), or exists FALSE at the end; E_FAIL when the
    // underlying store refuses the enumeration.
    virtual HRESULT FindNextItem(HREPLITEM* item, BOOL* exists) = 0;
    virtual HRESULT FindItemClose() = 0;
    // S_OK while the object exists and is in scope; RERR_OBJECT_DELETED or RERR_BAD_OBJECT.
    virtual HRESULT IsValidObject(HREPLITEM item) = 0;
    // Answers the changed flag and clears it.
    virtual BOOL IsFolderChanged();
    // TRUE when the change stamps differ (of itemComp when given, else of the live object).
    virtual BOOL IsItemChanged(HREPLITEM item, HREPLITEM itemComp) = 0;
    // TRUE when the object falls inside the user's synchronization filter.
    virtual BOOL IsItemReplicated(HREPLITEM item) = 0;
    // Brings itemDst's change stamp up to date from itemSrc, or from the live object.
    virtual void UpdateItem(HREPLITEM itemDst, HREPLITEM itemSrc) = 0;
    virtual HRESULT GetConflictInfo(PCONFINFO info) = 0;
    // Shows the options dialog: S_OK after OK, RERR_CANCEL after Cancel.
    virtual HRESULT ActivateDialog(UINT dialog, HWND parent, IEnumReplItem* items) = 0;
    // A new empty item of the folder's kind (version 2, all fields 0).
    virtual CItem* NewItem() = 0;

    // Marks the folder changed: the next IsFolderChanged answers TRUE.
    void SetChanged() { m_changed = 1; }
    // Takes an item into the folder's keeping; it is freed with the folder.
    void Own(CReplObject* item) { m_ownedItems.push_back(item); }

    CStore* m_store;
    DWORD m_changed;
    std::list<CReplObject*> m_ownedItems;
};

// The handle ActiveSync holds for an object, and back.
inline HREPLOBJ ToHandle(CReplObject* object) { return reinterpret_cast<HREPLOBJ>(object); }
inline CReplObject* FromHandle(HREPLOBJ handle) { return reinterpret_cast<CReplObject*>(handle); }

// Rebuilds an object from handle bytes for `store`: null when the bytes are shorter than the
// header or than their kind's payload, or name an unknown kind.
CReplObject* ObjectFromBytes(CStore* store, const BYTE* bytes, UINT size);
