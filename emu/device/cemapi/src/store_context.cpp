#include "store_context.h"

#include "mapi_error.h"

namespace emu::cemapi {

ObjectRow StoreContext::Row(std::int64_t id) const {
    auto row = file->Find(id);
    if (!row) throw MapiError(MAPI_E_OBJECT_DELETED);
    return *row;
}

std::vector<StoredProp> StoreContext::ObjectProps(const ObjectRow& row) const {
    std::vector<StoredProp> props = file->Props(row.id);
    switch (row.type) {
        case kFolderObject:
        case kMessageObject: {
            props.push_back(BinaryProp(PR_ENTRYID, EntryOf(row.type, row.id)));
            props.push_back(BinaryProp(PR_PARENT_ENTRYID, EntryOf(kFolderObject, row.parent)));
            props.push_back(LongProp(PR_OBJECT_TYPE, row.type));
            if (row.type == kMessageObject) {
                bool attached = !file->Children(row.id, kAttachObject).empty();
                props.push_back(StoredProp{PR_HASATTACH, {static_cast<std::uint8_t>(attached), 0}});
                for (auto& prop : props)
                    if (prop.tag == PR_MESSAGE_FLAGS && attached)
                        prop = LongProp(PR_MESSAGE_FLAGS, LongOf(prop) | MSGFLAG_HASATTACH);
            }
            break;
        }
        case kAttachObject:
            props.push_back(LongProp(PR_ATTACH_NUM, row.number));
            props.push_back(LongProp(PR_OBJECT_TYPE, MAPI_ATTACH));
            break;
        case kRecipientObject:
            props.push_back(LongProp(PR_ROWID, row.number));
            break;
    }
    return props;
}

std::vector<StoredProp> StoreContext::PropsOf(std::int64_t id) const {
    StoreFile::Scope scope(*file, StoreFile::Scope::Kind::Read);
    return ObjectProps(Row(id));
}

std::vector<StoredProp> StoreContext::StoreProps() const {
    return {
        BinaryProp(PR_ENTRYID, MakeEntryId(EntryRef{file->Uid(), MAPI_STORE, 0})),
        TextProp(PR_DISPLAY_NAME_W, file->Name()),
        LongProp(PR_OBJECT_TYPE, MAPI_STORE),
        BinaryProp(PR_IPM_SUBTREE_ENTRYID, EntryOf(kFolderObject, file->FolderId(FolderKind::Root))),
        BinaryProp(PR_CE_IPM_INBOX_ENTRYID, EntryOf(kFolderObject, file->FolderId(FolderKind::Inbox))),
        BinaryProp(PR_IPM_OUTBOX_ENTRYID, EntryOf(kFolderObject, file->FolderId(FolderKind::Outbox))),
        BinaryProp(PR_IPM_WASTEBASKET_ENTRYID,
                   EntryOf(kFolderObject, file->FolderId(FolderKind::DeletedItems))),
        BinaryProp(PR_CE_IPM_DRAFTS_ENTRYID, EntryOf(kFolderObject, file->FolderId(FolderKind::Drafts))),
        BinaryProp(PR_IPM_SENTMAIL_ENTRYID,
                   EntryOf(kFolderObject, file->FolderId(FolderKind::SentItems))),
    };
}

void StoreContext::NotifyMessage(ULONG event, std::int64_t message, std::int64_t folder,
                                 std::int64_t oldFolder, std::int64_t original) const {
    StoreEvent notice;
    notice.store = file->Uid();
    notice.eventType = event;
    notice.objectType = MAPI_MESSAGE;
    notice.entryId = EntryOf(kMessageObject, message);
    notice.parentId = EntryOf(kFolderObject, folder);
    if (oldFolder) {
        notice.oldId = EntryOf(kMessageObject, original ? original : message);
        notice.oldParentId = EntryOf(kFolderObject, oldFolder);
    }
    HubOf(*machine).Post({notice});
}

bool IsComputed(ULONG tag) {
    switch (PROP_ID(tag)) {
        case PROP_ID(PR_ENTRYID):
        case PROP_ID(PR_PARENT_ENTRYID):
        case PROP_ID(PR_OBJECT_TYPE):
        case PROP_ID(PR_HASATTACH):
        case PROP_ID(PR_ATTACH_NUM):
        case PROP_ID(PR_ROWID):
            return true;
        default:
            return false;
    }
}

}  // namespace emu::cemapi
