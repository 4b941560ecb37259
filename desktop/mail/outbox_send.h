// Sending a message composed on the device: its recipients and text come in the packet, its
// attachments are fetched from the device through data requests and remote reads, converted for
// the desktop, and the whole goes out through the mail client.
#pragma once

#include <replication.h>
#include <windows.h>

#include <string>
#include <vector>

#include "incoming_packet.h"
#include "simple_mapi.h"

class COutboxSend {
public:
    COutboxSend(CSimpleMAPI& mapi, IReplNotify* notify) : m_mapi(mapi), m_notify(notify) {}
    // Deletes the desktop files fetched for the message and the folders made for them.
    ~COutboxSend();
    COutboxSend(const COutboxSend&) = delete;
    COutboxSend& operator=(const COutboxSend&) = delete;

    // Fetches the attachments and sends the message. TRUE when the mail client accepted it.
    // An attachment that cannot be fetched or converted is left out; the message goes without it.
    BOOL Send(const IncomingPacket& packet);

    // The desktop files attached to the message, in the device's order.
    const std::vector<std::string>& Attached() const { return m_attached; }

private:
    // One run of data requests over the message's attachments, when the device's provider is
    // registered; the run ends with the packet's own status, which the device keeps.
    void FetchAttachments(const IncomingPacket& packet);
    // Exports one attachment on the device, copies it into a folder of its own on the desktop
    // and converts it there; the device's file is deleted afterwards.
    void FetchOne(const AttachmentRecord& received);
    // A new, empty folder in the desktop's temporary directory (with its trailing "\"), or
    // empty when none can be made.
    std::string NewFolder();

    CSimpleMAPI& m_mapi;
    IReplNotify* m_notify;
    std::vector<std::string> m_attached;
    // Everything made on the desktop for this message: files first, then folders.
    std::vector<std::string> m_files;
    std::vector<std::string> m_folders;
};

// The recipients of a device list ("name" <address>;address;…): the text after the first "<"
// of each piece (else the whole piece), with every ">" removed and blanks trimmed, in the
// desktop's code page. Empty pieces are passed over.
std::vector<std::string> SplitDeviceRecipients(const std::u16string& list);
