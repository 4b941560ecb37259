#include "packet_decode.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "property_packet.h"

namespace velumex {

namespace {

// Binary values longer than this are shown by their first bytes and their count.
constexpr DWORD kBinaryBytesShown = 32;

const char* MailTagName(ULONG tag) {
    switch (tag) {
        case PR_MESSAGE_DELIVERY_TIME:
            return "PR_MESSAGE_DELIVERY_TIME";
        case PR_SUBJECT_W:
            return "PR_SUBJECT_W";
        case PR_SENDER_EMAIL_ADDRESS_W:
            return "PR_SENDER_EMAIL_ADDRESS_W";
        case PR_SENDER_NAME_W:
            return "PR_SENDER_NAME_W";
        case PR_DISPLAY_TO_W:
            return "PR_DISPLAY_TO_W";
        case PR_DISPLAY_CC_W:
            return "PR_DISPLAY_CC_W";
        case PR_DISPLAY_BCC_W:
            return "PR_DISPLAY_BCC_W";
        case PR_ATTACH_NUM:
            return "PR_ATTACH_NUM";
        case PR_ATTACH_DATA_BIN:
            return "PR_ATTACH_DATA_BIN";
        case PR_BODY_W:
            return "PR_BODY_W";
        case TAG_WHOLE_MESSAGE_SIZE:
            return "TAG_WHOLE_MESSAGE_SIZE";
        case PR_MESSAGE_SIZE:
            return "PR_MESSAGE_SIZE";
        case PR_HEADER_FOLDER_ENTRYID:
            return "PR_HEADER_FOLDER_ENTRYID";
        case PR_MESSAGE_FLAGS:
            return "PR_MESSAGE_FLAGS";
        case PR_MSG_STATUS:
            return "PR_MSG_STATUS";
        case PR_ENTRYID:
            return "PR_ENTRYID";
        default:
            return "-";
    }
}

const char* FolderName(DWORD folder) {
    switch (folder) {
        case PR_IPM_SUBTREE_ENTRYID:
            return "root";
        case PR_CE_IPM_INBOX_ENTRYID:
            return "Inbox";
        case PR_IPM_OUTBOX_ENTRYID:
            return "Outbox";
        case PR_IPM_WASTEBASKET_ENTRYID:
            return "Deleted Items";
        case PR_CE_IPM_DRAFTS_ENTRYID:
            return "Drafts";
        case PR_IPM_SENTMAIL_ENTRYID:
            return "Sent Items";
        case 0:
            return "none";
        default:
            return "unknown folder";
    }
}

const char* CarriedTypeName(ULONG type) {
    switch (type) {
        case 0x0002:
            return "int16";
        case 0x0012:
            return "uint16";
        case 0x0003:
            return "int32";
        case 0x0004:
            return "float";
        case 0x0013:
            return "uint32";
        case 0x0005:
            return "double";
        case 0x0040:
            return "filetime";
        case 0x001F:
            return "string";
        case 0x0102:
            return "binary";
        case 0x0041:
            return "blob";
        default:
            return nullptr;
    }
}

std::string Format(const char* format, auto... values) {
    char text[128];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

std::string TypeName(ULONG tag) {
    const ULONG type = PROP_TYPE(tag);
    if (const char* name = CarriedTypeName(type)) return name;
    if (type == PT_BOOLEAN) return "boolean";
    if (type >= kClearMarkerType)
        if (const char* cleared = CarriedTypeName(type - kClearMarkerType))
            return std::string("clear:") + cleared;
    return Format("bare:0x%04X", static_cast<unsigned>(type));
}

void AppendUtf8(std::string& text, std::uint32_t code) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (code >> 18));
        text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// A zero-terminated UTF-16 value between quotes, as UTF-8; quotes, backslashes and control
// characters are escaped, and so are unpaired surrogates, so that every unit stays visible.
std::string QuotedText(LPCBYTE value) {
    std::string quoted = "\"";
    for (WORD unit = LoadLe16(value); unit != 0; unit = LoadLe16(value)) {
        value += 2;
        const WORD next = LoadLe16(value);
        if (unit >= 0xD800 && unit < 0xDC00 && next >= 0xDC00 && next < 0xE000) {
            AppendUtf8(quoted, 0x10000 + ((unit - 0xD800u) << 10) + (next - 0xDC00u));
            value += 2;
        } else if (unit == u'"' || unit == u'\\') {
            quoted += '\\';
            quoted += static_cast<char>(unit);
        } else if (unit == u'\n' || unit == u'\r' || unit == u'\t') {
            quoted += unit == u'\n' ? "\\n" : unit == u'\r' ? "\\r" : "\\t";
        } else if (unit < 0x20 || unit == 0x7F || (unit >= 0xD800 && unit < 0xE000)) {
            quoted += Format("\\u%04X", static_cast<unsigned>(unit));
        } else {
            AppendUtf8(quoted, unit);
        }
    }
    return quoted + "\"";
}

// 100-ns ticks since 1601-01-01 UTC as an ISO 8601 date-time, with the raw value.
std::string FileTimeText(DWORD low, DWORD high) {
    const std::uint64_t ticks = (std::uint64_t{high} << 32) | low;
    const std::uint64_t seconds = ticks / 10000000;
    const std::uint64_t fraction = ticks % 10000000;
    // Days since 1600-03-01, the start of a 400-year cycle beginning just after a leap day.
    std::uint64_t days = seconds / 86400 + 306;
    const std::uint64_t secondOfDay = seconds % 86400;
    const std::uint64_t era = days / 146097;
    const std::uint64_t dayOfEra = days % 146097;
    const std::uint64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::uint64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::uint64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const unsigned day = static_cast<unsigned>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    const unsigned month =
        static_cast<unsigned>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    const auto year = static_cast<unsigned>(1600 + era * 400 + yearOfEra + (month <= 2 ? 1 : 0));
    std::string text = Format("%04u-%02u-%02uT%02u:%02u:%02u", year, month, day,
                              static_cast<unsigned>(secondOfDay / 3600),
                              static_cast<unsigned>(secondOfDay / 60 % 60),
                              static_cast<unsigned>(secondOfDay % 60));
    if (fraction) text += Format(".%07u", static_cast<unsigned>(fraction));
    return text + Format("Z (0x%08X%08X)", static_cast<unsigned>(high), static_cast<unsigned>(low));
}

std::string HexBytes(LPCBYTE bytes, DWORD count) {
    std::string text = Format("%u bytes", static_cast<unsigned>(count));
    if (count) text += ":";
    for (DWORD i = 0; i < count && i < kBinaryBytesShown; ++i)
        text += Format(" %02X", static_cast<unsigned>(bytes[i]));
    if (count > kBinaryBytesShown) text += " ...";
    return text;
}

std::string StateText(DWORD state) {
    const char mark = state == kAttachmentPresent ? 'R' : state == kAttachmentNameOnly ? ' ' : '?';
    return Format("'%c' (%u)", mark, static_cast<unsigned>(state));
}

// The value of PR_ATTACH_DATA_BIN: the record count, then one indented line per record.
std::string AttachmentRecordsText(LPCBYTE bytes, DWORD count) {
    const DWORD records = count / kAttachmentRecordSize;
    std::string text = Format("%u record%s (%u bytes)", static_cast<unsigned>(records),
                              records == 1 ? "" : "s", static_cast<unsigned>(count));
    for (DWORD i = 0; i < records; ++i) {
        const AttachmentRecord record = AttachmentRecord::Load(bytes + i * kAttachmentRecordSize);
        text += Format("\n    record %u: state ", static_cast<unsigned>(i + 1)) +
                StateText(record.state) +
                Format(", size %u, number %u, name ", static_cast<unsigned>(record.size),
                       static_cast<unsigned>(record.number));
        BYTE name[2 * kAttachmentNameChars];
        for (DWORD c = 0; c < kAttachmentNameChars; ++c)
            StoreLe16(name + 2 * c, record.fileName[c]);
        text += QuotedText(name);
    }
    if (count % kAttachmentRecordSize)
        text += "\n    left over: " +
                HexBytes(bytes + records * kAttachmentRecordSize, count % kAttachmentRecordSize);
    return text;
}

std::string ValueText(ULONG tag, LPCBYTE value) {
    switch (PROP_TYPE(tag)) {
        case 0x0002: {
            const WORD raw = LoadLe16(value);
            return Format("%d (0x%04X)", static_cast<int>(static_cast<SHORT>(raw)),
                          static_cast<unsigned>(raw));
        }
        case 0x0012: {
            const WORD raw = LoadLe16(value);
            return Format("%u (0x%04X)", static_cast<unsigned>(raw), static_cast<unsigned>(raw));
        }
        case 0x0003: {
            const DWORD raw = LoadLe32(value);
            return Format("%d (0x%08X)", static_cast<int>(static_cast<LONG>(raw)),
                          static_cast<unsigned>(raw));
        }
        case 0x0013: {
            const DWORD raw = LoadLe32(value);
            return Format("%u (0x%08X)", static_cast<unsigned>(raw), static_cast<unsigned>(raw));
        }
        case 0x0004: {
            const DWORD raw = LoadLe32(value);
            float number;
            static_assert(sizeof number == sizeof raw);
            std::memcpy(&number, &raw, sizeof number);
            return Format("%.9g", static_cast<double>(number));
        }
        case 0x0005: {
            const std::uint64_t raw = LoadLe32(value) | (std::uint64_t{LoadLe32(value + 4)} << 32);
            double number;
            std::memcpy(&number, &raw, sizeof number);
            return Format("%.17g", number);
        }
        case 0x0040:
            return FileTimeText(LoadLe32(value), LoadLe32(value + 4));
        case 0x001F:
            return QuotedText(value);
        case 0x0102:
        case 0x0041: {
            const DWORD count = LoadLe32(value);
            if (tag == PR_ATTACH_DATA_BIN) return AttachmentRecordsText(value + 4, count);
            if (tag == PR_HEADER_FOLDER_ENTRYID && count == kFolderCodeSize) {
                const FolderCode code = FolderCode::Load(value + 4);
                std::string text = Format("folder 0x%08X %s", static_cast<unsigned>(code.folder),
                                          FolderName(code.folder));
                if (code.reserved)
                    text += Format(" (first word 0x%08X)", static_cast<unsigned>(code.reserved));
                return text;
            }
            return HexBytes(value + 4, count);
        }
        default:
            return "(no value)";
    }
}

// Why the walk stopped at `position`: the entry there does not fit in the packet.
std::string StopReason(LPCBYTE data, std::uint64_t position, std::uint64_t length) {
    if (position >= length) return "the packet ends";
    if (position + 4 > length)
        return Format("%u bytes left, too few for a tag", static_cast<unsigned>(length - position));
    const ULONG tag = LoadLe32(data + position);
    const char* what = PROP_TYPE(tag) == 0x001F ? "its string has no terminator before the end"
                                                : "its value extends past the end";
    return Format("entry 0x%08X: %s", static_cast<unsigned>(tag), what);
}

}  // namespace

bool DecodePacket(const std::uint8_t* data, std::size_t length, std::ostream& out) {
    if (length < kPacketCountSize) {
        out << Format("stopped at offset 0: %u bytes, too few for the property count\n",
                      static_cast<unsigned>(length));
        out << "read 0 properties; no count announced\n";
        return false;
    }
    if (length > 0xFFFFFFFFu) {
        out << "stopped at offset 0: a packet is at most 4 GB\n";
        return false;
    }
    PacketReader reader;
    reader.Attach(data, static_cast<DWORD>(length));
    const DWORD announced = reader.Count();
    DWORD read = 0;
    while (read < announced) {
        ULONG tag = 0;
        LPCBYTE value = reader.Next(&tag);
        if (!value) break;
        ++read;
        out << Format("0x%08X %-26s %-12s ", static_cast<unsigned>(tag), MailTagName(tag),
                      TypeName(tag).c_str())
            << ValueText(tag, value) << "\n";
    }

    bool wellFormed = true;
    const std::uint64_t position = reader.Position();
    if (read < announced) {
        const std::uint64_t stop = std::min<std::uint64_t>(position, length);
        out << Format("stopped at offset %llu of %llu: ", static_cast<unsigned long long>(stop),
                      static_cast<unsigned long long>(length))
            << StopReason(data, stop, length) << "\n";
        wellFormed = false;
    } else if (position < length) {
        out << Format("stopped at offset %llu of %llu: %llu bytes follow the last entry\n",
                      static_cast<unsigned long long>(position),
                      static_cast<unsigned long long>(length),
                      static_cast<unsigned long long>(length - position));
        wellFormed = false;
    } else if (position > length) {
        out << Format("stopped at offset %llu of %llu: the last entry lacks its padding\n",
                      static_cast<unsigned long long>(length),
                      static_cast<unsigned long long>(length));
        wellFormed = false;
    }
    out << Format("read %u of %u properties announced\n", static_cast<unsigned>(read),
                  static_cast<unsigned>(announced));
    return wellFormed;
}

}  // namespace velumex
