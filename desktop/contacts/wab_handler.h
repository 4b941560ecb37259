// The object handler of the "Address" type: turns an address-book contact into a packet for the
// device (GetPacket), writes a device packet into the book (SetPacket) and deletes entries
// (DeleteObj). The store owns it; it is not reference counted.
#pragma once

#include <vector>

#include "packet_writer.h"
#include "store_handler.h"
#include "wab_folder.h"

class CWABHandler : public CStoreHandler {
public:
    explicit CWABHandler(CStore* store)
        : CStoreHandler(store), m_writeSetup(nullptr), m_readSetup(nullptr) {}

    STDMETHODIMP Setup(REPLSETUP* setup) override;
    STDMETHODIMP Reset(REPLSETUP* setup) override;
    // One packet per contact (RWRN_LAST_PACKET). On failure the packet handed out is null, 0.
    STDMETHODIMP GetPacket(LPBYTE* data, DWORD* size, DWORD recommended) override;
    STDMETHODIMP SetPacket(LPBYTE data, DWORD size) override;
    STDMETHODIMP DeleteObj(REPLSETUP* setup) override;

    REPLSETUP* m_writeSetup;
    REPLSETUP* m_readSetup;
    PacketWriter m_writer;
    // Entries written during this synchronization that duplicate an existing entry, as copies of
    // their identifiers; the store's RemoveDuplicates deletes them.
    std::vector<EntryIdBytes> m_duplicates;
};
