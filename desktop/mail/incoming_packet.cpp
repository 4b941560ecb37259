#include "incoming_packet.h"

#include "packet_reader.h"
#include "packet_tags.h"

namespace {

DWORD LoadDword(LPCBYTE value) {
    return value[0] | value[1] << 8 | value[2] << 16 | static_cast<DWORD>(value[3]) << 24;
}

// A string value: its units up to the terminator, which the reader has found in the packet.
std::u16string LoadText(LPCBYTE value) {
    std::u16string text;
    for (LPCBYTE at = value; at[0] | at[1]; at += 2) text += static_cast<char16_t>(at[0] | at[1] << 8);
    return text;
}

std::optional<std::string> AnsiOrAbsent(LPCBYTE value) {
    std::string text = WideToAnsi(LoadText(value));
    if (text.empty()) return std::nullopt;
    return text;
}

}  // namespace

std::string WideToAnsi(const std::u16string& text, char substitute) {
    if (text.empty()) return {};
    const int units = static_cast<int>(text.size());
    const char fallback[2] = {substitute, 0};
    int bytes =
        WideCharToMultiByte(CP_ACP, 0, text.data(), units, nullptr, 0, fallback, nullptr);
    if (bytes <= 0) return {};
    std::string ansi(static_cast<size_t>(bytes), '\0');
    bytes = WideCharToMultiByte(CP_ACP, 0, text.data(), units, ansi.data(), bytes, fallback,
                                nullptr);
    ansi.resize(bytes > 0 ? static_cast<size_t>(bytes) : 0);
    return ansi;
}

IncomingPacket ReadIncomingPacket(LPCBYTE data, DWORD size) {
    IncomingPacket packet;
    PacketReader reader;
    reader.Attach(data, size);
    LPCBYTE records = nullptr;
    DWORD recordBytes = 0;
    const DWORD count = reader.Count();
    for (DWORD i = 0; i < count; ++i) {
        ULONG tag = 0;
        LPCBYTE value = reader.Next(&tag);
        if (!value) break;
        switch (tag) {
            case PR_SUBJECT_W:
                packet.subject = AnsiOrAbsent(value);
                break;
            case PR_SENDER_NAME_W:
                packet.senderName = AnsiOrAbsent(value);
                break;
            case PR_BODY_W:
                packet.body = AnsiOrAbsent(value);
                break;
            case PR_DISPLAY_TO_W:
                packet.recipients[0] = LoadText(value);
                break;
            case PR_DISPLAY_CC_W:
                packet.recipients[1] = LoadText(value);
                break;
            case PR_DISPLAY_BCC_W:
                packet.recipients[2] = LoadText(value);
                break;
            case PR_MESSAGE_FLAGS:
                packet.messageFlags = LoadDword(value);
                break;
            case PR_MSG_STATUS:
                packet.status = LoadDword(value);
                break;
            case PR_ATTACH_NUM:
                packet.attachNum = LoadDword(value);
                break;
            case PR_ENTRYID:
                packet.entryId.assign(value + 4, value + 4 + LoadDword(value));
                break;
            case PR_ATTACH_DATA_BIN:
                recordBytes = LoadDword(value);
                records = value + 4;
                break;
            case PR_HEADER_FOLDER_ENTRYID:
                // A FolderCode is 8 bytes; the folder is its second word.
                packet.folderCode =
                    LoadDword(value) >= kFolderCodeSize ? FolderCode::Load(value + 4).folder : 0;
                break;
            default:
                break;
        }
    }
    if ((packet.messageFlags & INCOMING_FLAG_HAS_ATTACHMENTS) && packet.attachNum && records) {
        DWORD kept = recordBytes / kAttachmentRecordSize;
        if (kept > packet.attachNum) kept = packet.attachNum;
        for (DWORD i = 0; i < kept; ++i)
            packet.attachments.push_back(
                AttachmentRecord::Load(records + static_cast<size_t>(i) * kAttachmentRecordSize));
    }
    return packet;
}
