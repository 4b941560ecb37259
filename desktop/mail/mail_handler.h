// The object handler of the "Message" type. The store owns it; it is not reference counted.
// Reading: Setup with a read setup, then GetPacket turns the setup's message into one packet,
// which lives in the handler until its next GetPacket or Reset.
#pragma once

#include "packet_writer.h"
#include "store_handler.h"

class CMailFolder;
class CMailItem;

class CMailHandler : public CStoreHandler {
public:
    explicit CMailHandler(CStore* store) : CStoreHandler(store) {}

    // Keeps `setup` as the read setup when it is for reading, else as the write setup.
    STDMETHODIMP Setup(REPLSETUP* setup) override;
    // For reading: releases the last packet. Writing back is not available: E_NOTIMPL.
    STDMETHODIMP Reset(REPLSETUP* setup) override;
    // The read setup's message as one packet: RWRN_LAST_PACKET with the packet;
    // RERR_GET_PACKET_FAILED when the mail client cannot read the message; E_UNEXPECTED when
    // the read setup has no item (or no folder).
    STDMETHODIMP GetPacket(LPBYTE* data, DWORD* size, DWORD recommended) override;
    // Writing back is not available: E_NOTIMPL.
    STDMETHODIMP SetPacket(LPBYTE data, DWORD size) override;
    STDMETHODIMP DeleteObj(REPLSETUP* setup) override;

    // The setups of the last Setup calls for writing and for reading, as the engine keeps them.
    REPLSETUP* m_writeSetup = nullptr;
    REPLSETUP* m_readSetup = nullptr;
    // Holds the packet GetPacket returned.
    PacketWriter m_writer;

private:
    // Reads the message and builds its packet in the begun writer.
    HRESULT ReadPacket(const CMailItem& item, const CMailFolder& folder, LPBYTE& data, DWORD& size);
};
