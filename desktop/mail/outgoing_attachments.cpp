// The attachments of an outgoing message: one AttachmentRecord each for the first 64, and the
// selected ones converted and copied into the device's temporary directory.
#include <vector>

#include "attachment_conversion.h"
#include "attachment_record.h"
#include "mail_text.h"
#include "outgoing_packet.h"
#include "packet_tags.h"

namespace {

// The name and extension of a path, stepping through it by characters of the ANSI code page.
LPCSTR FileNamePart(LPCSTR path) {
    LPCSTR name = path;
    for (LPCSTR at = path; *at; at = CharNextA(at))
        if (*at == '\\' || *at == '/' || *at == ':') name = CharNextA(at);
    return name;
}

// Size of the desktop file at `path`; 0 when it cannot be opened for reading.
DWORD DesktopFileSize(LPCSTR path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD size = GetFileSize(file, nullptr);
    CloseHandle(file);
    return size == INVALID_FILE_SIZE ? 0 : size;
}

}  // namespace

void COutgoingPacket::AddAttachments(const MapiMessage& message) {
    ULONG count = message.nFileCount;
    if (count > OUTGOING_MAX_ATTACHMENTS) count = OUTGOING_MAX_ATTACHMENTS;
    Add(PR_ATTACH_NUM, &count);

    // The limit is in kilobytes; computed wide so that no limit wraps around to a small one.
    const ULONGLONG limit = static_cast<ULONGLONG>(m_settings.sizeLimit) * 1024;
    std::vector<BYTE> records(count * kAttachmentRecordSize);
    for (ULONG i = 0; i < count; ++i) {
        LPCSTR path = message.lpFiles[i].lpszPathName;
        AttachmentRecord record;
        record.state = kAttachmentNameOnly;
        if (path) {
            record.SetFileName(AnsiToWide(FileNamePart(path)).c_str());
            record.size = DesktopFileSize(path);
        }
        m_wholeSize += record.size;

        const bool selected = (m_settings.options & MAIL_OPT_ATTACHMENTS) &&
                              (!(m_settings.options & MAIL_OPT_LIMIT_SIZE) ||
                               (record.size > 0 && record.size < limit));
        if (selected) {
            m_deliveredSize += record.size;
            WCHAR devicePath[MAX_PATH] = {};
            DWORD delivered =
                path ? ConvertToDevice(m_notify, path, devicePath, record.fileName, &m_deviceNames)
                     : 0;
            if (delivered) {
                record.size = delivered;
                record.state = kAttachmentPresent;
                ++m_deliveredCount;
            }
        }
        record.Store(records.data() + i * kAttachmentRecordSize);
    }
    PacketBinary value = {static_cast<ULONG>(records.size()), records.data()};
    Add(PR_ATTACH_DATA_BIN, &value);

    // The mail client wrote every attachment to a temporary file for this read; none is needed
    // any longer (the delivered ones are already gone).
    for (ULONG i = 0; i < message.nFileCount; ++i)
        if (message.lpFiles[i].lpszPathName) DeleteFileA(message.lpFiles[i].lpszPathName);
}
