#include "emu/cemapi/message_stores.h"

#include <algorithm>
#include <cstdio>

#include "mapi_error.h"
#include "notification_hub.h"
#include "pal/runtime/machine.h"
#include "store_context.h"
#include "store_set.h"

namespace emu::cemapi {

namespace {

constexpr FolderKind kAllFolders[] = {FolderKind::Root,   FolderKind::Inbox,
                                      FolderKind::Outbox, FolderKind::DeletedItems,
                                      FolderKind::Drafts, FolderKind::SentItems};

char16_t Fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool SameText(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

template <class Body>
auto Checked(Body&& body) {
    try {
        return body();
    } catch (const MapiError& error) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(error.Code()));
        throw MessageStoreError(std::string("message store failure ") + code);
    }
}

StoreContext ContextOf(pal::Machine& device, std::uint32_t store) {
    auto file = StoresOf(device).ByNumber(store);
    if (!file) throw MessageStoreError("no message store " + std::to_string(store));
    return StoreContext{&device, file};
}

const StoredProp* Find(const std::vector<StoredProp>& props, ULONG tag) {
    for (const auto& prop : props)
        if (prop.tag == tag) return &prop;
    return nullptr;
}

std::u16string Text(const std::vector<StoredProp>& props, ULONG tag) {
    const StoredProp* prop = Find(props, tag);
    return prop ? TextOf(*prop) : std::u16string{};
}

std::optional<ULONG> Long(const std::vector<StoredProp>& props, ULONG tag) {
    const StoredProp* prop = Find(props, tag);
    return prop ? std::optional<ULONG>(LongOf(*prop)) : std::nullopt;
}

std::optional<MessageInfo> Describe(const StoreContext& context, const ObjectRow& row, bool withData) {
    auto folder = context.file->Find(row.parent);
    if (!folder || folder->type != kFolderObject) return std::nullopt;
    auto props = context.ObjectProps(row);
    MessageInfo info;
    info.id = row.id;
    info.folder = static_cast<FolderKind>(folder->number);
    info.entryId = context.EntryOf(kMessageObject, row.id);
    info.messageClass = Text(props, PR_MESSAGE_CLASS_W);
    info.subject = Text(props, PR_SUBJECT_W);
    info.senderName = Text(props, PR_SENDER_NAME_W);
    info.senderAddress = Text(props, PR_SENDER_EMAIL_ADDRESS_W);
    info.flags = Long(props, PR_MESSAGE_FLAGS).value_or(0);
    info.status = Long(props, PR_MSG_STATUS).value_or(0);
    if (const StoredProp* time = Find(props, PR_MESSAGE_DELIVERY_TIME); time && time->value.size() == 8) {
        FILETIME ft{};
        ft.dwLowDateTime = LongOf(StoredProp{0, {time->value.begin(), time->value.begin() + 4}});
        ft.dwHighDateTime = LongOf(StoredProp{0, {time->value.begin() + 4, time->value.end()}});
        info.deliveryTime = ft;
    }
    // A body loaded from a file through the stream keeps the file's terminating zero; the text
    // ends there.
    info.body = Text(props, PR_BODY_W);
    info.body.erase(std::min(info.body.find(u'\0'), info.body.size()));
    for (const auto& child : context.file->Children(row.id, kRecipientObject)) {
        auto values = context.file->Props(child.id);
        info.recipients.push_back(RecipientInfo{Long(values, PR_RECIPIENT_TYPE).value_or(0),
                                                Text(values, PR_DISPLAY_NAME_W),
                                                Text(values, PR_EMAIL_ADDRESS_W),
                                                Text(values, PR_ADDRTYPE_W)});
    }
    for (const auto& child : context.file->Children(row.id, kAttachObject)) {
        auto values = context.file->Props(child.id);
        AttachmentInfo attachment;
        attachment.number = child.number;
        attachment.fileName = Text(values, PR_ATTACH_FILENAME_W);
        attachment.size = Long(values, PR_ATTACH_SIZE);
        attachment.status = Long(values, PR_MSG_STATUS);
        attachment.method = Long(values, PR_ATTACH_METHOD);
        if (withData)
            if (const StoredProp* data = Find(values, PR_ATTACH_DATA_BIN)) attachment.data = data->value;
        info.attachments.push_back(std::move(attachment));
    }
    return info;
}

std::optional<ObjectRow> MessageRow(const StoreContext& context, std::int64_t id) {
    auto row = context.file->Find(id);
    if (!row || row->type != kMessageObject) return std::nullopt;
    return row;
}

}  // namespace

std::u16string FolderName(FolderKind kind) {
    switch (kind) {
        case FolderKind::Root:
            return u"Root";
        case FolderKind::Inbox:
            return u"Inbox";
        case FolderKind::Outbox:
            return u"Outbox";
        case FolderKind::DeletedItems:
            return u"Deleted Items";
        case FolderKind::Drafts:
            return u"Drafts";
        case FolderKind::SentItems:
            return u"Sent Items";
    }
    return u"";
}

std::optional<FolderKind> ParseFolder(std::u16string_view name) {
    for (FolderKind kind : kAllFolders) {
        std::u16string full = FolderName(kind);
        std::u16string joined;
        for (char16_t c : full)
            if (c != u' ') joined.push_back(c);
        if (SameText(name, full) || SameText(name, joined)) return kind;
    }
    return std::nullopt;
}

std::uint32_t CreateStore(pal::Machine& device, const std::u16string& name) {
    return StoresOf(device).Create(name);
}

std::vector<StoreInfo> ListStores(pal::Machine& device) {
    std::vector<StoreInfo> stores;
    for (auto& [number, file] : StoresOf(device).All()) stores.push_back(StoreInfo{number, file->Name()});
    return stores;
}

std::optional<StoreInfo> FindStore(pal::Machine& device, std::u16string_view name) {
    for (auto& store : ListStores(device))
        if (SameText(store.name, name)) return store;
    return std::nullopt;
}

std::vector<MessageInfo> ListMessages(pal::Machine& device, std::uint32_t store,
                                      std::optional<FolderKind> folder) {
    StoreContext context = ContextOf(device, store);
    return Checked([&] {
        std::vector<ObjectRow> rows;
        for (FolderKind kind : kAllFolders) {
            if (folder && *folder != kind) continue;
            for (auto& row : context.file->Children(context.file->FolderId(kind), kMessageObject))
                rows.push_back(row);
        }
        std::sort(rows.begin(), rows.end(), [](auto& a, auto& b) { return a.id < b.id; });
        std::vector<MessageInfo> messages;
        for (auto& row : rows)
            if (auto info = Describe(context, row, false)) messages.push_back(std::move(*info));
        return messages;
    });
}

std::optional<MessageInfo> ReadMessage(pal::Machine& device, std::uint32_t store, std::int64_t id) {
    StoreContext context = ContextOf(device, store);
    return Checked([&]() -> std::optional<MessageInfo> {
        auto row = MessageRow(context, id);
        if (!row) return std::nullopt;
        return Describe(context, *row, true);
    });
}

std::int64_t ComposeMessage(pal::Machine& device, std::uint32_t store, const NewMessage& message) {
    StoreContext context = ContextOf(device, store);
    for (const auto& recipient : message.recipients)
        if (recipient.type < MAPI_TO || recipient.type > MAPI_BCC || recipient.address.empty())
            throw MessageStoreError("a recipient needs a type of 1 to 3 and an address");
    for (const auto& attachment : message.attachments)
        if (attachment.fileName.empty()) throw MessageStoreError("an attachment needs a file name");
    return Checked([&] {
        ULONGLONG now = device.NowUtc();
        std::vector<std::uint8_t> time(8);
        for (int i = 0; i < 8; ++i) time[i] = static_cast<std::uint8_t>(now >> (8 * i));
        std::vector<StoredProp> props = {
            TextProp(PR_MESSAGE_CLASS_W, u"IPM.Note"),
            LongProp(PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_UNSENT | MSGFLAG_FROMME),
            LongProp(PR_MSG_STATUS, 0),
            TextProp(PR_SUBJECT_W, message.subject),
            BinaryProp(PR_MESSAGE_DELIVERY_TIME, time),
            TextProp(PR_BODY_W, message.body),
        };
        auto& file = *context.file;
        std::int64_t outbox = file.FolderId(FolderKind::Outbox);
        ObjectRow row = file.Add(kMessageObject, outbox, props);
        for (const auto& recipient : message.recipients) {
            std::vector<StoredProp> values = {LongProp(PR_RECIPIENT_TYPE, recipient.type),
                                              TextProp(PR_EMAIL_ADDRESS_W, recipient.address),
                                              TextProp(PR_ADDRTYPE_W, u"SMTP")};
            if (!recipient.name.empty()) values.push_back(TextProp(PR_DISPLAY_NAME_W, recipient.name));
            file.Add(kRecipientObject, row.id, values);
        }
        for (const auto& attachment : message.attachments) {
            file.Add(kAttachObject, row.id,
                     {TextProp(PR_ATTACH_FILENAME_W, attachment.fileName),
                      LongProp(PR_ATTACH_SIZE, static_cast<ULONG>(attachment.data.size())),
                      LongProp(PR_ATTACH_METHOD, ATTACH_BY_VALUE), LongProp(PR_MSG_STATUS, 0),
                      BinaryProp(PR_ATTACH_DATA_BIN, attachment.data)});
        }
        context.NotifyMessage(fnevObjectCreated, row.id, outbox);
        return row.id;
    });
}

bool MoveMessage(pal::Machine& device, std::uint32_t store, std::int64_t id, FolderKind folder) {
    StoreContext context = ContextOf(device, store);
    return Checked([&] {
        auto row = MessageRow(context, id);
        if (!row) return false;
        std::int64_t target = context.file->FolderId(folder);
        if (row->parent == target) return true;
        context.file->Reparent(id, target);
        context.NotifyMessage(fnevObjectMoved, id, target, row->parent);
        return true;
    });
}

bool DeleteMessage(pal::Machine& device, std::uint32_t store, std::int64_t id) {
    StoreContext context = ContextOf(device, store);
    return Checked([&] {
        auto row = MessageRow(context, id);
        if (!row) return false;
        context.file->DeleteTree(id);
        context.NotifyMessage(fnevObjectDeleted, id, row->parent);
        return true;
    });
}

bool WaitForNotifications(pal::Machine& device, std::chrono::milliseconds limit) {
    return HubOf(device).WaitDrained(limit);
}

}  // namespace emu::cemapi
