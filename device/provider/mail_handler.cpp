#include "mail_handler.h"

#include <optional>
#include <string>

#include "journal.h"
#include "mail_files.h"
#include "mail_journal.h"
#include "mail_mapi.h"
#include "mail_recipients.h"
#include "mail_store.h"
#include "property_packet.h"

namespace {

// Tags a mail packet carries beyond the message store's own names.
constexpr ULONG kWholeMessageSize = TAG_WHOLE_MESSAGE_SIZE;
constexpr ULONG kFlagHasAttachments = MSGFLAG_HASATTACH;
// Attachment status: the content is not on the device.
constexpr ULONG kAttachmentAbsent = 0x00010000;
// Attachment status bit: the device user asked for the attachment.
constexpr ULONG kAttachmentRequested = 0x00001000;
// Message status from the desktop: the message is partial on a platform before version 5 only.
constexpr ULONG kStatusPlatformDependent = 0x10000000;
constexpr ULONG kStatusPartial = 0x00100000;

// The folder entry-ID properties of the store, in the order a folder code is looked for.
constexpr ULONG kFolderTags[] = {PR_IPM_SUBTREE_ENTRYID,     PR_CE_IPM_INBOX_ENTRYID,
                                 PR_IPM_OUTBOX_ENTRYID,      PR_IPM_WASTEBASKET_ENTRYID,
                                 PR_CE_IPM_DRAFTS_ENTRYID,   PR_IPM_SENTMAIL_ENTRYID};

// Where the desktop writes the device's "NoKeepSentOver", and the Inbox its "SaveSent".
constexpr const WCHAR* kDeviceOptionsKey = W("Software\\Quorvane\\Velumex");
constexpr const WCHAR* kInboxSettingsKey = W("Software\\Microsoft\\Inbox\\Settings");

std::u16string LoadString(LPCBYTE at) {
    std::u16string text;
    for (; LoadLe16(at) != 0; at += 2) text += static_cast<char16_t>(LoadLe16(at));
    return text;
}

FILETIME LoadFiletime(LPCBYTE at) {
    FILETIME time;
    time.dwLowDateTime = LoadLe32(at);
    time.dwHighDateTime = LoadLe32(at + 4);
    return time;
}

// A REG_DWORD under HKEY_CURRENT_USER, or nullopt when absent.
std::optional<DWORD> ReadUserDword(LPCWSTR path, LPCWSTR name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof(value);
    LONG status =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
    return value;
}

// What a desktop packet for a new message holds.
struct IncomingMail {
    std::optional<ULONG> flags, status, wholeSize, attachmentCount;
    std::optional<std::u16string> senderAddress, senderName, subject, to, cc, bcc, bodyFile;
    std::optional<FILETIME> deliveryTime;
    LPCBYTE records = nullptr;
    ULONG recordBytes = 0;

    void Read(PacketReader& reader) {
        DWORD count = reader.Count();
        for (DWORD i = 0; i < count; ++i) {
            ULONG tag = 0;
            LPCBYTE value = reader.Next(&tag);
            if (!value) break;
            switch (tag) {
                case PR_MESSAGE_FLAGS: flags = LoadLe32(value); break;
                case PR_MSG_STATUS: status = LoadLe32(value); break;
                case kWholeMessageSize: wholeSize = LoadLe32(value); break;
                case PR_ATTACH_NUM: attachmentCount = LoadLe32(value); break;
                case PR_SENDER_EMAIL_ADDRESS_W: senderAddress = LoadString(value); break;
                case PR_SENDER_NAME_W: senderName = LoadString(value); break;
                case PR_SUBJECT_W: subject = LoadString(value); break;
                case PR_DISPLAY_TO_W: to = LoadString(value); break;
                case PR_DISPLAY_CC_W: cc = LoadString(value); break;
                case PR_DISPLAY_BCC_W: bcc = LoadString(value); break;
                case PR_BODY_W: bodyFile = LoadString(value); break;
                case PR_MESSAGE_DELIVERY_TIME: deliveryTime = LoadFiletime(value); break;
                case PR_ATTACH_DATA_BIN:
                    recordBytes = LoadLe32(value);
                    records = value + 4;
                    break;
                default: break;
            }
        }
    }
};

// Adds every recipient of the three lists to `message` (none: no call, S_OK).
HRESULT AddRecipients(IMessage* message, const IncomingMail& mail) {
    const std::pair<ULONG, const std::optional<std::u16string>*> lists[] = {
        {MAPI_TO, &mail.to}, {MAPI_CC, &mail.cc}, {MAPI_BCC, &mail.bcc}};
    std::vector<MailRecipient> recipients;
    size_t capacity = 0;
    for (auto& [type, list] : lists) {
        if (!*list) continue;
        capacity += CountRecipientEntries(**list);
        for (auto& recipient : SplitRecipients(type, **list)) recipients.push_back(recipient);
    }
    if (recipients.empty() || capacity == 0) return S_OK;
    LPVOID block = nullptr;
    HRESULT result = MAPIAllocateBuffer(static_cast<ULONG>(CbNewADRLIST(capacity)), &block);
    if (FAILED(result)) return result;
    auto* list = static_cast<LPADRLIST>(block);
    list->cEntries = 0;
    for (auto& recipient : recipients) {
        LPVOID values = nullptr;
        result = MAPIAllocateMore(4 * sizeof(SPropValue), list, &values);
        if (FAILED(result)) break;
        auto* props = static_cast<LPSPropValue>(values);
        ULONG count = 0;
        props[count].ulPropTag = PR_RECIPIENT_TYPE;
        props[count++].Value.ul = recipient.type;
        props[count].ulPropTag = PR_ADDRTYPE_W;
        props[count++].Value.lpszW = const_cast<LPWSTR>(W("SMTP"));
        props[count].ulPropTag = PR_EMAIL_ADDRESS_W;
        props[count++].Value.lpszW = recipient.address.data();
        if (!recipient.name.empty()) {
            props[count].ulPropTag = PR_DISPLAY_NAME_W;
            props[count++].Value.lpszW = recipient.name.data();
        }
        ADRENTRY& entry = list->aEntries[list->cEntries++];
        entry.ulReserved1 = 0;
        entry.cValues = count;
        entry.rgPropVals = props;
    }
    if (SUCCEEDED(result)) result = message->ModifyRecipients(MODRECIP_ADD, list);
    MAPIFreeBuffer(list);
    return result;
}

}  // namespace

CMailHandler::CMailHandler(CMailStore& store) : CObjHandler(store.Lock()), m_store(store) {}

STDMETHODIMP CMailHandler::Reset(REPLSETUP* setup) {
    if (setup && setup->fRead) m_writer.Begin(0);
    return CObjHandler::Reset(setup);
}

DWORD CMailHandler::FolderCodeOf(IMessage* message) {
    PropValues folders;
    std::vector<BYTE> parent;
    if (FAILED(folders.Read(m_store.MessageStore(),
                            {kFolderTags[0], kFolderTags[1], kFolderTags[2], kFolderTags[3],
                             kFolderTags[4], kFolderTags[5]})) ||
        FAILED(ReadBinaryProp(message, PR_PARENT_ENTRYID, parent)))
        return 0;
    for (ULONG tag : kFolderTags) {
        const SPropValue* folder = folders.Find(tag);
        if (!folder) continue;
        std::vector<BYTE> entryId(folder->Value.bin.lpb, folder->Value.bin.lpb + folder->Value.bin.cb);
        if (SameEntry(m_store.Session(), parent, entryId)) return tag;
    }
    return 0;
}

STDMETHODIMP CMailHandler::GetPacket(LPBYTE* data, DWORD* size, DWORD recommended) {
    if (!data || !size) return E_POINTER;
    *data = nullptr;
    *size = 0;
    if (!m_store.MessageStore() || !m_readSetup) return E_FAIL;
    if (!m_writer.Begin(recommended)) return E_OUTOFMEMORY;
    std::vector<BYTE> entryId;
    if (!ReadMessageEntryId(m_store.Volume(), m_readSetup->oid, entryId)) return E_FAIL;
    MapiPtr<IMessage> message;
    if (FAILED(OpenByEntryId(m_store.MessageStore(), entryId, MAPI_BEST_ACCESS,
                             message.OutUnknown())))
        return E_FAIL;
    PropValues state;
    if (FAILED(state.Read(message.Get(), {PR_MESSAGE_FLAGS, PR_MSG_STATUS}))) return E_FAIL;
    DWORD flags = state.Find(PR_MESSAGE_FLAGS) ? state.Find(PR_MESSAGE_FLAGS)->Value.ul : 0;
    DWORD status = state.Find(PR_MSG_STATUS) ? state.Find(PR_MSG_STATUS)->Value.ul : 0;

    HRESULT result = S_OK;
    DWORD folder = FolderCodeOf(message.Get());
    if (folder != 0) {
        BYTE code[kFolderCodeSize];
        FolderCode{0, folder}.Store(code);
        PacketBinary value{kFolderCodeSize, code};
        result = m_writer.Add(PR_HEADER_FOLDER_ENTRYID, &value);
    }
    if (SUCCEEDED(result) && folder == PR_IPM_OUTBOX_ENTRYID)
        result = AddOutboxProperties(message.Get(), flags);
    if (SUCCEEDED(result) && (flags & kFlagHasAttachments))
        result = AddAttachmentRecords(message.Get());
    if (SUCCEEDED(result)) result = m_writer.Add(PR_MESSAGE_FLAGS, &flags);
    if (SUCCEEDED(result)) result = m_writer.Add(PR_MSG_STATUS, &status);
    PacketBinary id{static_cast<ULONG>(entryId.size()), entryId.data()};
    if (SUCCEEDED(result)) result = m_writer.Add(PR_ENTRYID, &id);
    if (FAILED(result)) {
        m_writer.Begin(0);
        return result;
    }
    *data = m_writer.Data();
    *size = m_writer.Length();
    return RWRN_LAST_PACKET;
}

HRESULT CMailHandler::AddOutboxProperties(IMessage* message, DWORD& flags) {
    PropValues values;
    HRESULT result = values.Read(message, {PR_SENDER_EMAIL_ADDRESS_W, PR_SENDER_NAME_W, PR_SUBJECT_W,
                                           PR_MESSAGE_DELIVERY_TIME, PR_HASATTACH});
    if (FAILED(result)) return result;
    const SPropValue* hasAttachments = values.Find(PR_HASATTACH);
    if (hasAttachments && hasAttachments->Value.b) flags |= kFlagHasAttachments;

    FILETIME time{};
    if (const SPropValue* delivery = values.Find(PR_MESSAGE_DELIVERY_TIME))
        time = delivery->Value.ft;
    else
        GetSystemTimeAsFileTime(&time);
    result = m_writer.Add(PR_MESSAGE_DELIVERY_TIME, &time);

    const SPropValue* address = values.Find(PR_SENDER_EMAIL_ADDRESS_W);
    std::u16string sender = address && address->Value.lpszW ? address->Value.lpszW : u"";
    if (!sender.empty() && sender.front() != u'<') sender = u"<" + sender + u">";
    if (SUCCEEDED(result) && !sender.empty()) result = m_writer.Add(PR_SENDER_NAME_W, sender.c_str());
    const SPropValue* subject = values.Find(PR_SUBJECT_W);
    if (SUCCEEDED(result) && subject) result = m_writer.Add(PR_SUBJECT_W, subject->Value.lpszW);
    if (FAILED(result)) return result;

    // The body travels inline: a message whose body does not fit fails rather than going out
    // empty.
    MapiPtr<IStream> body;
    if (SUCCEEDED(OpenPropertyStream(message, PR_BODY_W, 0, body))) {
        STATSTG stat{};
        result = body->Stat(&stat, STATFLAG_NONAME);
        if (FAILED(result)) return result;
        if (stat.cbSize.QuadPart >= kPacketLimit) return E_POINTER;
        ULONG bytes = static_cast<ULONG>(stat.cbSize.QuadPart);
        std::u16string text(bytes / sizeof(WCHAR) + 1, u'\0');
        ULONG read = 0;
        result = body->Read(text.data(), bytes, &read);
        if (FAILED(result)) return result;
        text.resize(read / sizeof(WCHAR));
        result = m_writer.Add(PR_BODY_W, text.c_str());
        if (FAILED(result)) return result;
    }

    MapiPtr<IMAPITable> table;
    result = message->GetRecipientTable(MAPI_UNICODE, table.Out());
    if (FAILED(result)) return result;
    SizedSPropTagArray(3, columns) = {3, {PR_RECIPIENT_TYPE, PR_DISPLAY_NAME_W, PR_EMAIL_ADDRESS_W}};
    result = table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0);
    if (FAILED(result)) return result;
    std::u16string lists[3];
    for (;;) {
        LPSRowSet rows = nullptr;
        result = table->QueryRows(1, 0, &rows);
        if (FAILED(result) || !rows) return FAILED(result) ? result : E_FAIL;
        bool done = rows->cRows == 0;
        if (!done && rows->aRow[0].cValues >= 3) {
            const SPropValue* row = rows->aRow[0].lpProps;
            ULONG type = row[0].ulPropTag == PR_RECIPIENT_TYPE ? row[0].Value.ul : 0;
            std::u16string name =
                row[1].ulPropTag == PR_DISPLAY_NAME_W && row[1].Value.lpszW ? row[1].Value.lpszW : u"";
            std::u16string email = row[2].ulPropTag == PR_EMAIL_ADDRESS_W && row[2].Value.lpszW
                                       ? row[2].Value.lpszW
                                       : u"";
            if (type >= MAPI_TO && type <= MAPI_BCC)
                AppendRecipient(lists[type - 1], FormatRecipient(name, email));
        }
        FreeProws(rows);
        if (done) break;
    }
    const ULONG listTags[3] = {PR_DISPLAY_TO_W, PR_DISPLAY_CC_W, PR_DISPLAY_BCC_W};
    for (int i = 0; i < 3 && SUCCEEDED(result); ++i)
        if (!lists[i].empty()) result = m_writer.Add(listTags[i], lists[i].c_str());
    return result;
}

HRESULT CMailHandler::AddAttachmentRecords(IMessage* message) {
    MapiPtr<IMAPITable> table;
    HRESULT result = message->GetAttachmentTable(MAPI_UNICODE, table.Out());
    if (FAILED(result)) return result;
    SizedSPropTagArray(4, columns) = {
        4, {PR_MSG_STATUS, PR_ATTACH_FILENAME_W, PR_ATTACH_NUM, PR_ATTACH_SIZE}};
    result = table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0);
    if (FAILED(result)) return result;
    std::vector<BYTE> records;
    records.reserve(2 * kAttachmentRecordSize);
    for (;;) {
        LPSRowSet rows = nullptr;
        result = table->QueryRows(1, 0, &rows);
        if (FAILED(result) || !rows) return FAILED(result) ? result : E_FAIL;
        bool done = rows->cRows == 0;
        if (!done && rows->aRow[0].cValues >= 4) {
            const SPropValue* row = rows->aRow[0].lpProps;
            AttachmentRecord record;
            ULONG status = row[0].ulPropTag == PR_MSG_STATUS ? row[0].Value.ul : 0;
            record.state = (status & kAttachmentRequested) ? kAttachmentPresent : kAttachmentNameOnly;
            record.size = row[3].ulPropTag == PR_ATTACH_SIZE ? row[3].Value.ul : 0;
            record.number = row[2].ulPropTag == PR_ATTACH_NUM ? row[2].Value.ul : 0;
            record.SetFileName(row[1].ulPropTag == PR_ATTACH_FILENAME_W ? row[1].Value.lpszW
                                                                        : nullptr);
            size_t at = records.size();
            // Grows as the packet writer grows: to an exact fit plus its slack.
            if (at + kAttachmentRecordSize > records.capacity())
                records.reserve(at + kAttachmentRecordSize + kPacketGrowth);
            records.resize(at + kAttachmentRecordSize);
            record.Store(records.data() + at);
        }
        FreeProws(rows);
        if (done) break;
    }
    DWORD count = static_cast<DWORD>(records.size() / kAttachmentRecordSize);
    result = m_writer.Add(PR_ATTACH_NUM, &count);
    PacketBinary value{static_cast<ULONG>(records.size()), records.data()};
    if (SUCCEEDED(result)) result = m_writer.Add(PR_ATTACH_DATA_BIN, &value);
    return result;
}

STDMETHODIMP CMailHandler::SetPacket(LPBYTE data, DWORD size) {
    if (!m_store.MessageStore() || !m_writeSetup) return E_FAIL;
    MapiPtr<IMAPIFolder> inbox;
    HRESULT result = OpenStoreFolder(m_store.MessageStore(), PR_CE_IPM_INBOX_ENTRYID, MAPI_MODIFY,
                                     inbox);
    if (FAILED(result)) return result;
    PacketReader reader;
    reader.Attach(data, size);
    if (m_writeSetup->dwFlags & RSF_NEW_OBJECT) return StoreNewMessage(inbox.Get(), reader);
    return UpdateReadState(reader);
}

HRESULT CMailHandler::StoreNewMessage(IMAPIFolder* inbox, PacketReader& reader) {
    MapiPtr<IMessage> message;
    HRESULT result = inbox->CreateMessage(nullptr, 0, message.Out());
    if (FAILED(result)) return result;
    IncomingMail mail;
    mail.Read(reader);

    if (mail.status && (*mail.status & kStatusPlatformDependent)) {
        OSVERSIONINFOW version{};
        version.dwOSVersionInfoSize = sizeof(version);
        if (GetVersionExW(&version) && version.dwMajorVersion > 4) *mail.status &= ~kStatusPartial;
        *mail.status &= ~kStatusPlatformDependent;
    }
    result = AddRecipients(message.Get(), mail);

    if (SUCCEEDED(result)) {
        SPropValue values[7] = {};
        ULONG count = 0;
        auto addLong = [&](ULONG tag, const std::optional<ULONG>& value) {
            if (!value) return;
            values[count].ulPropTag = tag;
            values[count++].Value.ul = *value;
        };
        auto addText = [&](ULONG tag, std::optional<std::u16string>& value) {
            if (!value) return;
            values[count].ulPropTag = tag;
            values[count++].Value.lpszW = value->data();
        };
        addLong(PR_MESSAGE_FLAGS, mail.flags);
        addLong(PR_MSG_STATUS, mail.status);
        addText(PR_SENDER_EMAIL_ADDRESS_W, mail.senderAddress);
        addText(PR_SENDER_NAME_W, mail.senderName);
        addText(PR_SUBJECT_W, mail.subject);
        if (mail.deliveryTime) {
            values[count].ulPropTag = PR_MESSAGE_DELIVERY_TIME;
            values[count++].Value.ft = *mail.deliveryTime;
        }
        addLong(kWholeMessageSize, mail.wholeSize);
        if (count) result = message->SetProps(count, values, nullptr);
    }

    // The content: a file that is missing leaves the body or attachment empty, and the message
    // is still kept and recorded.
    if (SUCCEEDED(result) && mail.bodyFile) {
        MapiPtr<IStream> body;
        if (SUCCEEDED(OpenPropertyStream(message.Get(), PR_BODY_W, MAPI_CREATE | MAPI_MODIFY, body)))
            LoadTempFile(mail.bodyFile->c_str(), body.Get());
    }
    ULONG records = mail.attachmentCount.value_or(0);
    if (mail.recordBytes / kAttachmentRecordSize < records)
        records = mail.recordBytes / kAttachmentRecordSize;
    for (ULONG i = 0; SUCCEEDED(result) && i < records; ++i) {
        AttachmentRecord record = AttachmentRecord::Load(mail.records + i * kAttachmentRecordSize);
        ULONG number = 0;
        MapiPtr<IAttach> attachment;
        result = message->CreateAttach(nullptr, 0, &number, attachment.Out());
        if (FAILED(result)) break;
        MapiPtr<IStream> content;
        bool deliver = record.state == kAttachmentPresent &&
                       SUCCEEDED(OpenPropertyStream(attachment.Get(), PR_ATTACH_DATA_BIN,
                                                    MAPI_CREATE | MAPI_MODIFY, content));
        SPropValue values[4] = {};
        values[0].ulPropTag = PR_ATTACH_FILENAME_W;
        values[0].Value.lpszW = record.fileName;
        values[1].ulPropTag = PR_ATTACH_SIZE;
        values[1].Value.ul = record.size;
        values[2].ulPropTag = PR_ATTACH_METHOD;
        values[2].Value.ul = ATTACH_BY_VALUE;
        values[3].ulPropTag = PR_MSG_STATUS;
        values[3].Value.ul = deliver ? 0 : kAttachmentAbsent;
        result = attachment->SetProps(4, values, nullptr);
        // A file that cannot be loaded leaves the content absent, and says so.
        if (SUCCEEDED(result) && deliver && FAILED(LoadTempFile(record.fileName, content.Get()))) {
            values[3].Value.ul = kAttachmentAbsent;
            attachment->SetProps(1, &values[3], nullptr);
        }
    }
    if (SUCCEEDED(result)) result = RecordNewMessage(message.Get());
    if (FAILED(result)) {
        // Unrecorded, the message would come back to the desktop as new, and the engine sends
        // the packet again: it goes, so that a retry stores it once.
        std::vector<BYTE> entryId;
        if (SUCCEEDED(ReadBinaryProp(message.Get(), PR_ENTRYID, entryId))) {
            message.Reset();
            SBinary id{static_cast<ULONG>(entryId.size()), entryId.data()};
            ENTRYLIST list{1, &id};
            inbox->DeleteMessages(&list, 0, nullptr, 0);
        }
    }
    return result;
}

HRESULT CMailHandler::RecordNewMessage(IMessage* message) {
    PropValues values;
    HRESULT result = values.Read(message, {PR_ENTRYID, PR_MESSAGE_FLAGS, PR_MSG_STATUS});
    if (FAILED(result)) return result;
    const SPropValue* id = values.Find(PR_ENTRYID);
    if (!id) return E_FAIL;
    std::vector<BYTE> entryId(id->Value.bin.lpb, id->Value.bin.lpb + id->Value.bin.cb);
    CEOID record = AddMessageRecord(m_store.Volume(), m_store.OtherPartnerBits(), entryId);
    if (!record) return E_FAIL;
    m_writeSetup->oidNew = record;
    return S_OK;
}

HRESULT CMailHandler::UpdateReadState(PacketReader& reader) {
    std::vector<BYTE> entryId;
    if (!ReadMessageEntryId(m_store.Volume(), m_writeSetup->oid, entryId)) return E_FAIL;
    MapiPtr<IMessage> message;
    HRESULT result = OpenByEntryId(m_store.MessageStore(), entryId, MAPI_BEST_ACCESS | MAPI_MODIFY,
                                   message.OutUnknown());
    if (FAILED(result)) return result;
    PropValues values;
    result = values.Read(message.Get(), {PR_MESSAGE_FLAGS});
    if (FAILED(result)) return result;
    SPropValue flags{};
    flags.ulPropTag = PR_MESSAGE_FLAGS;
    flags.Value.ul = values.Find(PR_MESSAGE_FLAGS) ? values.Find(PR_MESSAGE_FLAGS)->Value.ul : 0;
    DWORD count = reader.Count();
    for (DWORD i = 0; i < count && SUCCEEDED(result); ++i) {
        ULONG tag = 0;
        LPCBYTE value = reader.Next(&tag);
        if (!value) break;
        if (tag != PR_MESSAGE_FLAGS) continue;
        flags.Value.ul = (flags.Value.ul & ~MSGFLAG_READ) | (LoadLe32(value) & MSGFLAG_READ);
        result = message->SetProps(1, &flags, nullptr);
    }
    if (FAILED(result)) return result;
    return SetMessageChangeState(m_store.Volume(), m_writeSetup->oid, m_store.OtherPartnerBits())
               ? S_OK
               : E_FAIL;
}

STDMETHODIMP CMailHandler::DeleteObj(REPLSETUP* setup) {
    if (!setup) setup = m_writeSetup;
    HANDLE lock = m_store.Lock();
    bool held = lock && WaitForSingleObject(lock, INFINITE) != WAIT_FAILED;
    HRESULT result = E_FAIL;
    std::vector<BYTE> entryId;
    if (m_store.MessageStore() && setup &&
        ReadMessageEntryId(m_store.Volume(), setup->oid, entryId))
        result = DeleteMessage(entryId);
    // Released on every path: the service waits for this lock.
    if (held) ReleaseMutex(lock);
    return result;
}

HRESULT CMailHandler::DeleteMessage(const std::vector<BYTE>& entryId) {
    IMsgStore* store = m_store.MessageStore();
    MapiPtr<IMessage> message;
    std::vector<BYTE> parentId, outboxId;
    MapiPtr<IMAPIFolder> parent;
    if (FAILED(OpenByEntryId(store, entryId, MAPI_BEST_ACCESS, message.OutUnknown())) ||
        FAILED(ReadBinaryProp(message.Get(), PR_PARENT_ENTRYID, parentId)) ||
        FAILED(OpenByEntryId(store, parentId, MAPI_MODIFY, parent.OutUnknown())) ||
        FAILED(ReadBinaryProp(store, PR_IPM_OUTBOX_ENTRYID, outboxId)))
        return E_FAIL;
    message.Reset();
    SBinary id{static_cast<ULONG>(entryId.size()), const_cast<LPBYTE>(entryId.data())};
    ENTRYLIST list{1, &id};
    if (SameEntry(m_store.Session(), parentId, outboxId) &&
        ReadUserDword(kDeviceOptionsKey, W("NoKeepSentOver")).value_or(0) == 0 &&
        ReadUserDword(kInboxSettingsKey, W("SaveSent")).value_or(0) != 0) {
        MapiPtr<IMAPIFolder> sent;
        if (SUCCEEDED(OpenStoreFolder(store, PR_IPM_SENTMAIL_ENTRYID, MAPI_MODIFY, sent)))
            parent->CopyMessages(&list, nullptr, sent.Get(), 0, nullptr, 0);
    }
    return parent->DeleteMessages(&list, 0, nullptr, 0);
}
