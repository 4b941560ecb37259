// The packet of one desktop message going to the device. The body and the delivered attachments
// never enter the packet: they are written as files into the device's temporary directory, and
// the packet names them, with the message's addresses, sizes, flags and download status.
#pragma once

#include <mapi.h>
#include <replication.h>
#include <windows.h>

#include <string>
#include <vector>

#include "mail_settings.h"
#include "packet_writer.h"

class CMailItem;

// Status bits of an outgoing message.
#define MSG_STATUS_COMPLETE 0x10000000u        // body and attachments all delivered
#define MSG_STATUS_PARTIAL 0x00100000u         // body cut, or attachments missing
#define MSG_STATUS_ATTACH_MISSING 0x04000000u  // some attachments not delivered
// Flags of an outgoing message.
#define OUTGOING_FLAG_READ 0x01u
#define OUTGOING_FLAG_HAS_ATTACHMENTS 0x10u

// Attachments one packet describes at most; later ones are left out.
constexpr ULONG OUTGOING_MAX_ATTACHMENTS = 64;

class COutgoingPacket {
public:
    // Adds to `writer`, which holds a begun packet; `notify` reaches the partnership's filters.
    COutgoingPacket(PacketWriter& writer, const MailSettings& settings, IReplNotify* notify);

    // Adds every property of `message` (read in full, attachments in files) in the wire order,
    // writing the body and the selected attachments to the device. The received time comes from
    // `item`, as the enumeration saw it; everything else from the message. Subject and address
    // texts too long for the packet are cut so that every later property still fits. S_OK, or
    // the writer's failure for a property that could not be added: the packet is then unusable.
    HRESULT Build(const CMailItem& item, const MapiMessage& message);

private:
    void AddParties(const MapiMessage& message);
    void AddAttachments(const MapiMessage& message);
    void AddBody(LPCSTR messageId, LPCSTR text);
    void AddSummary(const MapiMessage& message, ULONG attachments);

    // Adds one property, keeping the first failure for Build's result.
    void Add(ULONG tag, LPCVOID value);
    // Adds a UTF-16 string property cut, when needed, to leave m_reserve bytes of the packet for
    // the properties after it.
    void AddText(ULONG tag, std::u16string text);
    // Bytes the attachments, the body's file name and the summary take in the packet, and the
    // texts at their shortest.
    ULONG TailSize(const CMailItem& item, const MapiMessage& message) const;

    PacketWriter& m_writer;
    HRESULT m_result = S_OK;
    ULONG m_reserve = 0;
    const MailSettings& m_settings;
    IReplNotify* m_notify;
    // Every attachment file and twice the whole body length.
    DWORD m_wholeSize = 0;
    // Attachments selected for delivery and twice the delivered body length.
    DWORD m_deliveredSize = 0;
    // Attachments that arrived on the device.
    ULONG m_deliveredCount = 0;
    // Names the message's files take in the device's temporary directory: no two alike.
    std::vector<std::u16string> m_deviceNames;
    bool m_bodyCut = false;
};
