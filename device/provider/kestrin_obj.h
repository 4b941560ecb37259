// The per-type store interface behind the provider's exports.
#pragma once

#include <device_sync.h>
#include <windows.h>

class CKestrinObj {
public:
    // Tears the store down: its handler resources, sessions and lock.
    virtual ~CKestrinObj() = default;
    // Creates the type's object handler (one reference, through `handler`) and remembers the
    // partner bit (1 or 2) for every later change-bit decision.
    virtual BOOL InitObjType(IReplObjHandler** handler, UINT partnerBit) = 0;
    // A custom data request from the desktop provider of the same type.
    virtual HRESULT DataRequest(SDREQUEST* request) = 0;
    // Object count, size and last change of the type's journal.
    virtual BOOL GetObjTypeInfo(OBJTYPEINFO* info) = 0;
    // Whether a changed or deleted record is an object of this type; applies ONF_CLEAR_CHANGE.
    virtual BOOL ObjectNotify(OBJNOTIFY* notify) = 0;
    // Every object of the type, unchanged ones first, in a local-heap list the frame frees.
    virtual HRESULT FindObjects(FINDOBJINFO* info) = 0;
};

// Whether an object-type name (inline in a record, or given by pointer) is exactly `name`
// (case-sensitive). At most MAX_OBJTYPE_NAME characters are read, terminated or not.
inline bool IsObjType(const WCHAR* typeName, const WCHAR* name) {
    if (!typeName) return false;
    for (int i = 0; i < MAX_OBJTYPE_NAME; ++i) {
        if (typeName[i] != name[i]) return false;
        if (!name[i]) return true;
    }
    return false;
}

#define MAIL_OBJTYPE W("Message")
#define CONTACTS_OBJTYPE W("Address")
