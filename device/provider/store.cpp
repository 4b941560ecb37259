#include "store.h"

#include <new>

#include "contacts_store.h"
#include "journal.h"
#include "mail_store.h"

CStore::CStore() { m_volume.Mount(KESTRIN_VOLUME_PATH, OPEN_ALWAYS); }

CStore::~CStore() {
    DestroyStores();
    if (CCeDBVolume::IsRealVolume(m_volume.Guid())) m_volume.Unmount();
}

void CStore::DestroyStores() {
    delete m_mailStore;
    m_mailStore = nullptr;
    delete m_contactsStore;
    m_contactsStore = nullptr;
}

BOOL CStore::InitObjType(LPCWSTR type, IReplObjHandler** handler, UINT partnerBit) {
    if (!type) {
        DestroyStores();
        return TRUE;
    }
    if (!m_volume.IsMounted()) return FALSE;
    // A store initialised again is replaced: the old one goes first, so that its teardown (the
    // echo list's deletion) cannot undo what the new one sets up.
    if (IsObjType(type, MAIL_OBJTYPE)) {
        delete m_mailStore;
        m_mailStore = new (std::nothrow) CMailStore(m_volume);
        return m_mailStore ? m_mailStore->InitObjType(handler, partnerBit) : FALSE;
    }
    if (IsObjType(type, CONTACTS_OBJTYPE)) {
        delete m_contactsStore;
        m_contactsStore = new (std::nothrow) CContactsStore(m_volume);
        return m_contactsStore ? m_contactsStore->InitObjType(handler, partnerBit) : FALSE;
    }
    return FALSE;
}

CKestrinObj* CStore::StoreOf(const WCHAR (&type)[MAX_OBJTYPE_NAME]) const {
    if (IsObjType(type, MAIL_OBJTYPE)) return m_mailStore;
    if (IsObjType(type, CONTACTS_OBJTYPE)) return m_contactsStore;
    return nullptr;
}
