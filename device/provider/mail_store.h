// The per-type store of "Message": objects are records of the mail journal.
#pragma once

#include "ce_db_volume.h"
#include "kestrin_obj.h"
#include "obj_handler.h"

class CMailStore;

class CMailHandler : public CObjHandler {
public:
    CMailHandler(CMailStore& store, HANDLE lock) : CObjHandler(lock), m_store(store) {}

    // Without a message store every packet operation fails with E_FAIL.
    STDMETHODIMP GetPacket(LPBYTE* data, DWORD* size, DWORD recommended) override;
    STDMETHODIMP SetPacket(LPBYTE data, DWORD size) override;
    STDMETHODIMP DeleteObj(REPLSETUP* setup) override;

private:
    CMailStore& m_store;
};

class CMailStore : public CKestrinObj {
public:
    // Creates (or opens) the mail lock; `volume` is the frame's journal volume.
    explicit CMailStore(CCeDBVolume& volume);
    // Closes the mail lock.
    ~CMailStore() override;

    BOOL InitObjType(IReplObjHandler** handler, UINT partnerBit) override;
    HRESULT DataRequest(SDREQUEST* request) override;
    BOOL GetObjTypeInfo(OBJTYPEINFO* info) override;
    BOOL ObjectNotify(OBJNOTIFY* notify) override;
    // E_UNEXPECTED unless the request's type is exactly "Message".
    HRESULT FindObjects(FINDOBJINFO* info) override;

    UINT PartnerBit() const { return m_partnerBit; }
    HANDLE Lock() const { return m_lock; }

private:
    CCeDBVolume& m_volume;
    UINT m_partnerBit = 0;
    HANDLE m_lock;
};
