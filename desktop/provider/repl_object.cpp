#include "repl_object.h"

#include <new>

#include "handle_bytes.h"
#include "mail_folder.h"
#include "mail_item.h"
#include "store.h"
#include "wab_folder.h"
#include "wab_item.h"

UINT CReplObject::ToBytes(LPBYTE buffer) {
    if (buffer) {
        PutWord(buffer, HANDLE_VERSION);
        PutDword(buffer + 2, GetKind());
    }
    return HANDLE_HEADER_SIZE;
}

void CFolder::Free() {
    for (CReplObject* item : m_ownedItems) m_store->FreeObject(ToHandle(item));
    m_ownedItems.clear();
    delete this;
}

UINT CFolder::ToBytes(LPBYTE buffer) { return CReplObject::ToBytes(buffer); }

BOOL CFolder::IsFolderChanged() {
    BOOL changed = m_changed ? TRUE : FALSE;
    m_changed = 0;
    return changed;
}

CReplObject* ObjectFromBytes(CStore* store, const BYTE* bytes, UINT size) {
    if (!bytes || size < HANDLE_HEADER_SIZE) return nullptr;
    WORD version = GetWord(bytes);
    CReplObject* object = nullptr;
    switch (GetDword(bytes + 2)) {
        case OBJECT_KIND_CONTACT:
            object = new (std::nothrow) CWABItem();
            break;
        case OBJECT_KIND_CONTACTS_FOLDER:
            object = new (std::nothrow) CWABFolder(store);
            break;
        case OBJECT_KIND_MAIL_ITEM:
            object = new (std::nothrow) CMailItem();
            break;
        case OBJECT_KIND_MAIL_FOLDER:
            object = new (std::nothrow) CMailFolder(store);
            break;
        default:
            return nullptr;
    }
    if (!object) return nullptr;
    object->m_version = version;
    if (!object->FromBytes(bytes + HANDLE_HEADER_SIZE, size - HANDLE_HEADER_SIZE)) {
        object->Free();
        return nullptr;
    }
    return object;
}
