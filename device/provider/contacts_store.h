// The per-type store of "Address": objects are records of the contacts journal; contacts the
// provider writes itself go on the echo list so that the notification service skips them.
#pragma once

#include <cedb.h>

#include "ce_db_volume.h"
#include "kestrin_obj.h"
#include "obj_handler.h"

class CContactsStore;

class CContactsHandler : public CObjHandler {
public:
    CContactsHandler(CContactsStore& store, HANDLE lock) : CObjHandler(lock), m_store(store) {}

    STDMETHODIMP GetPacket(LPBYTE* data, DWORD* size, DWORD recommended) override;
    STDMETHODIMP SetPacket(LPBYTE data, DWORD size) override;
    STDMETHODIMP DeleteObj(REPLSETUP* setup) override;

private:
    CContactsStore& m_store;
};

class CContactsStore : public CKestrinObj {
public:
    // Reads the platform version and creates (or opens) the contacts lock, not owned.
    explicit CContactsStore(CCeDBVolume& volume);
    // Under the contacts lock, deletes the echo list; closes the lock.
    ~CContactsStore() override;

    // Creates the handler and the echo list (an existing one is kept) and learns its identifier.
    BOOL InitObjType(IReplObjHandler** handler, UINT partnerBit) override;
    HRESULT DataRequest(SDREQUEST* request) override;
    BOOL GetObjTypeInfo(OBJTYPEINFO* info) override;
    BOOL ObjectNotify(OBJNOTIFY* notify) override;
    // E_UNEXPECTED unless the request's type is exactly "Address".
    HRESULT FindObjects(FINDOBJINFO* info) override;

    // Puts a contact on the echo list: its next change notification is the provider's own.
    // FALSE when the echo list cannot be opened or written.
    BOOL AddToEchoList(CEOID contactOid);

    UINT PartnerBit() const { return m_partnerBit; }
    DWORD PlatformVersion() const { return m_platformVersion; }
    CEOID EchoListOid() const { return m_echoListOid; }
    HANDLE Lock() const { return m_lock; }

private:
    CCeDBVolume& m_volume;
    UINT m_partnerBit = 0;
    HANDLE m_lock;
    DWORD m_platformVersion = 0;
    CEOID m_echoListOid = 0;
};
