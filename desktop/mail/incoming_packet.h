// A mail packet from the device, read into what the desktop acts on: the text of a message
// composed on the device (to be sent), or the download requests and folder of a message that
// came from the desktop.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "attachment_record.h"

// Status bits the device's Inbox sets when its user asks for more of a message.
#define MSG_STATUS_WANT_BODY 0x00001000u         // the whole message
#define MSG_STATUS_WANT_ATTACHMENTS 0x00200000u  // its attachments
// Flags of a device message.
#define INCOMING_FLAG_HAS_ATTACHMENTS 0x10u

struct IncomingPacket {
    // Text in the desktop's ANSI code page; absent when missing or empty.
    std::optional<std::string> subject;
    std::optional<std::string> senderName;
    std::optional<std::string> body;
    // The To, Cc and Bcc lists as the device wrote them.
    std::u16string recipients[3];
    DWORD messageFlags = 0;
    DWORD status = 0;
    DWORD attachNum = 0;
    // The FolderCode value: the device folder the message lies in (0 when not given).
    DWORD folderCode = 0;
    std::vector<BYTE> entryId;
    // The attachment records, kept only when the flags say the message has attachments and the
    // count is not 0: at most as many as both the count and the received bytes allow.
    std::vector<AttachmentRecord> attachments;
};

// Reads the `size` bytes of a packet at `data`. A property that comes twice keeps its later
// value; tags the desktop does not use are skipped; a packet cut short ends the walk, and the
// properties not yet read stay absent.
IncomingPacket ReadIncomingPacket(LPCBYTE data, DWORD size);

// UTF-16 text converted to the desktop's ANSI code page; characters it cannot express become
// `substitute`.
std::string WideToAnsi(const std::u16string& text, char substitute = '?');
