// The object handler of "Address": contacts to packets and back, and deletions. Every contact it
// writes goes on the echo list and gets its journal record updated, so that the write reaches
// the other partnership only.
#pragma once

#include <pimstore.h>

#include "obj_handler.h"
#include "packet_writer.h"

class CContactsStore;

class CContactsHandler : public CObjHandler {
public:
    CContactsHandler(CContactsStore& store, HANDLE lock) : CObjHandler(lock), m_store(store) {}

    // The contact of the read setup's record as one packet; RWRN_LAST_PACKET, or E_FAIL when
    // the record or the contact cannot be found.
    STDMETHODIMP GetPacket(LPBYTE* data, DWORD* size, DWORD recommended) override;
    // Stores a packet into the write setup's contact (a new one with RSF_NEW_OBJECT, whose journal
    // record becomes oidNew).
    STDMETHODIMP SetPacket(LPBYTE data, DWORD size) override;
    // Deletes the record's contact; S_OK when it is gone already.
    STDMETHODIMP DeleteObj(REPLSETUP* setup) override;
    // Reading: frees the packet as well.
    STDMETHODIMP Reset(REPLSETUP* setup) override;

private:
    // The contact of journal record `record`: S_OK, E_FAIL without a journal or record, or the
    // application's error.
    HRESULT FindContact(CEOID record, CEOID* contactOid, IContact** contact);
    // Adds the extended properties of the contact to the packet; failures leave them out.
    void AddExtendedProperties(CEOID contactOid);

    CContactsStore& m_store;
    PacketWriter m_writer;
};
