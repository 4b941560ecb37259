// The object handler of the "Message" type. The store owns it; it is not reference counted.
// Reading: Setup with a read setup, then GetPacket turns the setup's message into one packet,
// which lives in the handler until its next GetPacket or Reset. Writing: Setup with a write
// setup, then SetPacket takes a device message (sends one composed on the device, records what
// the device asks for a desktop message) or DeleteObj deletes the desktop message; Reset reports
// a message the device moved to Deleted Items as deleted.
#pragma once

#include "packet_writer.h"
#include "store_handler.h"

class CMailFolder;
class CMailItem;
struct IncomingPacket;

class CMailHandler : public CStoreHandler {
public:
    explicit CMailHandler(CStore* store) : CStoreHandler(store) {}

    // Keeps `setup` as the read setup when it is for reading, else as the write setup.
    STDMETHODIMP Setup(REPLSETUP* setup) override;
    // For reading: releases the last packet. For writing: when the device moved the setup's
    // message to Deleted Items, reports a copy of the item to the engine as deleted. S_OK.
    STDMETHODIMP Reset(REPLSETUP* setup) override;
    // The read setup's message as one packet: RWRN_LAST_PACKET with the packet;
    // RERR_GET_PACKET_FAILED when the mail client cannot read the message; E_UNEXPECTED when
    // the read setup has no item (or no folder).
    STDMETHODIMP GetPacket(LPBYTE* data, DWORD* size, DWORD recommended) override;
    // A device message for the write setup:
    // - new, in the device Outbox: sent through the mail client when the options allow it;
    //   RERR_DISCARD once sent (the device copy goes), RERR_SKIP_OBJECT when sending is not
    //   allowed or the mail client refused it (the device copy stays, offered again);
    // - new, in the device Inbox: RERR_DISCARD; new anywhere else: RERR_SKIP_OBJECT;
    // - existing, in the Inbox with a download request: recorded as the item's pending change,
    //   S_OK; in Deleted Items: recorded, RERR_DISCARD; anything else: S_OK.
    // On S_OK the setup's item becomes a copy of the item it held. E_UNEXPECTED without a write
    // setup or mail folder.
    STDMETHODIMP SetPacket(LPBYTE data, DWORD size) override;
    // Drops the item's pending change and deletes the message in the mail client. S_OK when it is
    // deleted or was already gone (or the setup names no item); E_FAIL when it is still there.
    STDMETHODIMP DeleteObj(REPLSETUP* setup) override;

    // The setups of the last Setup calls for writing and for reading, as the engine keeps them.
    REPLSETUP* m_writeSetup = nullptr;
    REPLSETUP* m_readSetup = nullptr;
    // Holds the packet GetPacket returned.
    PacketWriter m_writer;

private:
    // What a new device object comes to (SetPacket).
    HRESULT TakeNewObject(CMailFolder& folder, const IncomingPacket& packet);
    // The write side of Reset.
    HRESULT ReportMovedToDeleted(REPLSETUP& setup);
    // Reads the message and builds its packet in the begun writer.
    HRESULT ReadPacket(const CMailItem& item, const CMailFolder& folder, LPBYTE& data, DWORD& size);
};
