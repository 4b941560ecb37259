// The body of an outgoing message: cut after MaxLines lines when the options ask for it, and
// written to the device as a UTF-16 file named by the message identifier.
#include <cstring>

#include "device_file.h"
#include "mail_text.h"
#include "outgoing_packet.h"
#include "packet_tags.h"
#include "st_log_file.h"

namespace {

// Bytes of `text` (length `length`) that go to the device: the first `maxLines` lines with their
// line breaks. `cut` tells whether anything was left out.
DWORD DeliveredLength(LPCSTR text, DWORD length, DWORD maxLines, bool& cut) {
    DWORD lines = 1;
    for (DWORD i = 0; i < length; ++i)
        if (text[i] == '\n') ++lines;
    cut = maxLines < lines;
    if (!cut) return length;
    // There are at least maxLines line feeds: each search finds one.
    LPCSTR end = text;
    for (DWORD line = 0; line < maxLines; ++line)
        end = CharNextA(static_cast<LPCSTR>(std::memchr(end, '\n', length - (end - text))));
    return static_cast<DWORD>(end - text);
}

}  // namespace

void COutgoingPacket::AddBody(LPCSTR messageId, LPCSTR text) {
    const DWORD length = static_cast<DWORD>(std::strlen(text));
    m_wholeSize += 2 * length;
    DWORD delivered = length;
    if (m_settings.options & MAIL_OPT_LIMIT_LINES)
        delivered = DeliveredLength(text, length, m_settings.maxLines, m_bodyCut);
    m_deliveredSize += 2 * delivered;
    if (!WriteBodyFile(messageId, text, delivered))
        ST_LOG("The body of message %s could not be written to the device", messageId);
    // The body travels as that file; the device finds it by this name.
    AddText(PR_BODY_W, AnsiToWide(messageId));
}
