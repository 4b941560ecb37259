// The object handler of "Message": desktop packets become messages in the account's Inbox,
// device messages become packets, and deletions honour the sent-mail settings.
#pragma once

#include <cemapi.h>

#include <vector>

#include "obj_handler.h"
#include "packet_writer.h"

class CMailStore;
class PacketReader;

class CMailHandler : public CObjHandler {
public:
    explicit CMailHandler(CMailStore& store);

    // Reading: frees the packet handed out last. Writing: releases the mail lock.
    STDMETHODIMP Reset(REPLSETUP* setup) override;
    // The message of the read setup's journal record as one packet (RWRN_LAST_PACKET); an
    // Outbox message carries its sender, subject, time, recipients and body inline. E_FAIL when
    // the record or the message cannot be read, or without a message store; an entry that does
    // not fit the packet fails the call rather than leaving it out.
    STDMETHODIMP GetPacket(LPBYTE* data, DWORD* size, DWORD recommended) override;
    // A new object: a new Inbox message with the packet's properties, body and attachments (files
    // of the temporary directory), recorded in the journal as changed for the other partnership
    // only, its record handed back as the write setup's oidNew. An existing object: only its read
    // flag changes, and its record's change bits. A message once created is always recorded, or
    // removed again when it cannot be, so that a retry never duplicates it.
    STDMETHODIMP SetPacket(LPBYTE data, DWORD size) override;
    // Deletes the message of the setup's record under the mail lock; a sent Outbox message is
    // first copied to Sent Items when the device keeps sent mail.
    STDMETHODIMP DeleteObj(REPLSETUP* setup) override;

private:
    HRESULT StoreNewMessage(IMAPIFolder* inbox, PacketReader& reader);
    HRESULT UpdateReadState(PacketReader& reader);
    HRESULT RecordNewMessage(IMessage* message);
    HRESULT AddOutboxProperties(IMessage* message, DWORD& flags);
    HRESULT AddAttachmentRecords(IMessage* message);
    DWORD FolderCodeOf(IMessage* message);
    HRESULT DeleteMessage(const std::vector<BYTE>& entryId);

    CMailStore& m_store;
    PacketWriter m_writer;
};
