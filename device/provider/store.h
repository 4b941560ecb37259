// The provider's one store: the journal volume, mounted while the library is loaded, and the
// per-type stores, created when the engine initialises a type.
#pragma once

#include "ce_db_volume.h"
#include "kestrin_obj.h"

class CMailStore;
class CContactsStore;

class CStore {
public:
    // Mounts the journal volume, creating its file when missing.
    CStore();
    // Destroys the per-type stores, then unmounts the journal volume.
    virtual ~CStore();
    CStore(const CStore&) = delete;
    CStore& operator=(const CStore&) = delete;

    // Null type: destroys both stores (TRUE). Otherwise creates the store of "Message" or
    // "Address" in place of any earlier one and initialises it; FALSE for another name or when
    // the journal volume is not mounted.
    BOOL InitObjType(LPCWSTR type, IReplObjHandler** handler, UINT partnerBit);
    // The store of an inline type name, or null for another name or a store not created.
    CKestrinObj* StoreOf(const WCHAR (&type)[MAX_OBJTYPE_NAME]) const;

    CCeDBVolume& Volume() { return m_volume; }

private:
    void DestroyStores();

    CMailStore* m_mailStore = nullptr;
    CContactsStore* m_contactsStore = nullptr;
    CCeDBVolume m_volume;
};
