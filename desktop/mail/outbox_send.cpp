#include "outbox_send.h"

#include <rapi.h>

#include <cstdio>

#include "attachment_conversion.h"
#include "device_file.h"
#include "device_names.h"
#include "mail_requests.h"
#include "st_log_file.h"

namespace {

// Present on a device whose mail provider is registered with the engine.
constexpr const WCHAR* kDeviceMailKey = W("Windows CE Services\\Synchronization\\Objects\\Message");
// Flags of a sent message: unread, sent.
constexpr FLAGS kSentFlags = MAPI_UNREAD | MAPI_SENT;
// Attempts at a folder name not yet taken.
constexpr int kFolderAttempts = 64;

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool StartsWithFolder(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && lstrcmpiA(path.substr(0, folder.size()).c_str(),
                                                    folder.c_str()) == 0;
}

}  // namespace

std::vector<std::string> SplitDeviceRecipients(const std::u16string& list) {
    std::vector<std::string> addresses;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(u';', start);
        if (end == std::u16string::npos) end = list.size();
        std::u16string piece = list.substr(start, end - start);
        size_t open = piece.find(u'<');
        if (open != std::u16string::npos) piece = piece.substr(open + 1);
        std::string address;
        for (char c : WideToAnsi(piece))
            if (c != '>') address += c;
        address = Trimmed(address);
        if (!address.empty()) addresses.push_back(address);
        start = end + 1;
    }
    return addresses;
}

COutboxSend::~COutboxSend() {
    // The mail client took the attachments' content when it sent; nothing here is needed.
    for (const std::string& file : m_files) DeleteFileA(file.c_str());
    for (auto folder = m_folders.rbegin(); folder != m_folders.rend(); ++folder)
        RemoveDirectoryA(folder->c_str());
}

BOOL COutboxSend::Send(const IncomingPacket& packet) {
    CSTLogScope scope("COutboxSend::Send");
    std::vector<std::string> addresses[3];
    size_t recipientCount = 0;
    for (int list = 0; list < 3; ++list) {
        addresses[list] = SplitDeviceRecipients(packet.recipients[list]);
        recipientCount += addresses[list].size();
    }
    std::vector<MapiRecipDesc> recipients;
    recipients.reserve(recipientCount);
    for (int list = 0; list < 3; ++list)
        for (std::string& address : addresses[list]) {
            MapiRecipDesc recipient = {};
            recipient.ulRecipClass = static_cast<ULONG>(MAPI_TO + list);
            recipient.lpszAddress = address.data();
            recipients.push_back(recipient);
        }

    FetchAttachments(packet);
    std::vector<MapiFileDesc> files(m_attached.size());
    for (size_t i = 0; i < m_attached.size(); ++i) {
        files[i] = {};
        files[i].lpszPathName = m_attached[i].data();
    }

    std::string subject = packet.subject.value_or(std::string());
    std::string body = packet.body.value_or(std::string());
    std::string sender = packet.senderName.value_or(std::string());
    MapiRecipDesc originator = {};
    originator.lpszAddress = packet.senderName ? sender.data() : nullptr;

    MapiMessage message = {};
    message.lpszSubject = packet.subject ? subject.data() : nullptr;
    message.lpszNoteText = packet.body ? body.data() : nullptr;
    message.flFlags = kSentFlags;
    message.lpOriginator = &originator;
    message.nRecipCount = static_cast<ULONG>(recipients.size());
    message.lpRecips = recipients.empty() ? nullptr : recipients.data();
    message.nFileCount = static_cast<ULONG>(files.size());
    message.lpFiles = files.empty() ? nullptr : files.data();

    ULONG result = m_mapi.SendMail(m_notify ? m_notify->GetWindow(0) : nullptr, &message);
    if (result != SUCCESS_SUCCESS) {
        ST_LOG("The mail client did not send the device's message (%u)",
               static_cast<unsigned>(result));
        return FALSE;
    }
    return TRUE;
}

void COutboxSend::FetchAttachments(const IncomingPacket& packet) {
    if (!(packet.messageFlags & INCOMING_FLAG_HAS_ATTACHMENTS) || !packet.attachNum ||
        packet.attachments.empty())
        return;
    HKEY key = nullptr;
    if (CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, kDeviceMailKey, 0, 0, &key) != ERROR_SUCCESS) {
        ST_LOG("The device's mail provider is not registered: no attachments are fetched");
        return;
    }
    CeRegCloseKey(key);

    SetMailRequest(m_notify, MAIL_REQUEST_SELECT, packet.entryId.data(),
                   static_cast<UINT>(packet.entryId.size()));
    for (const AttachmentRecord& record : packet.attachments) FetchOne(record);
    // The device stores this word as the message's status: it keeps the status it sent.
    const DWORD status = packet.status;
    BYTE data[4] = {BYTE(status), BYTE(status >> 8), BYTE(status >> 16), BYTE(status >> 24)};
    SetMailRequest(m_notify, MAIL_REQUEST_END, data, sizeof data);
}

void COutboxSend::FetchOne(const AttachmentRecord& received) {
    // The name becomes a desktop path: only a bare name stays inside the folder made for it.
    if (!IsBareFileName(received.fileName)) {
        ST_LOG("An attachment name from the device is refused");
        return;
    }
    BYTE wire[kAttachmentRecordSize];
    received.Store(wire);
    SetMailRequest(m_notify, MAIL_REQUEST_CHOOSE, wire, kAttachmentRecordSize);
    std::vector<BYTE> reply;
    if (FAILED(GetMailRequest(m_notify, MAIL_REQUEST_EXPORT, reply)) || reply.empty()) return;
    if (reply.size() < kAttachmentRecordSize) {
        ST_LOG("A short export reply is refused (%u bytes)", static_cast<unsigned>(reply.size()));
        return;
    }
    const AttachmentRecord exported = AttachmentRecord::Load(reply.data());
    // Only a file the device exported into its temporary directory is read and deleted.
    if (!IsDeviceTempFile(exported.fileName)) {
        ST_LOG("An exported path outside the device's temporary directory is refused");
        return;
    }

    std::string folder = NewFolder();
    if (!folder.empty()) {
        // A name the desktop code page cannot spell keeps a stand-in for those characters.
        std::string path = folder + WideToAnsi(received.fileName, '_');
        if (CopyFromDevice(exported.fileName, path.c_str())) {
            m_files.push_back(path);
            std::vector<std::string> outputs;
            if (Convert(m_notify, path.c_str(), CONVERT_EXPORT, outputs) && !outputs.empty()) {
                std::string attached = outputs.front();
                for (const std::string& output : outputs)
                    if (output != path) m_files.push_back(output);
                // A converted file lands in the shared temporary directory; it moves into the
                // attachment's own folder so that a later attachment of the same name cannot
                // replace it before the message is sent.
                if (attached != path && !StartsWithFolder(attached, folder)) {
                    std::string moved = folder + attached.substr(attached.find_last_of('\\') + 1);
                    if (CopyFileA(attached.c_str(), moved.c_str(), FALSE)) {
                        m_files.push_back(moved);
                        attached = moved;
                    }
                }
                m_attached.push_back(attached);
            }
        }
    }
    CeDeleteFile(exported.fileName);
}

std::string COutboxSend::NewFolder() {
    CHAR temp[MAX_PATH] = {};
    DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH) return {};
    std::string base(temp, length);
    if (base.back() != '\\') base += '\\';
    DWORD seed = GetTickCount() ^ (GetCurrentThreadId() << 16);
    for (int attempt = 0; attempt < kFolderAttempts; ++attempt) {
        char name[16];
        std::snprintf(name, sizeof name, "VMX%08lX", static_cast<unsigned long>(seed + attempt));
        std::string folder = base + name;
        if (CreateDirectoryA(folder.c_str(), nullptr)) {
            m_folders.push_back(folder);
            return folder + '\\';
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    ST_LOG("No folder could be made for a fetched attachment");
    return {};
}
