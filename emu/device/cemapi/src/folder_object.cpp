#include "folder_object.h"

#include "message_object.h"
#include "table_object.h"

namespace emu::cemapi {

std::vector<StoredProp> FolderObject::AllProps() { return m_context.PropsOf(m_id); }

void FolderObject::WriteProps(const std::vector<StoredProp>&, const std::vector<ULONG>&) {
    throw MapiError(MAPI_E_NO_ACCESS);
}

STDMETHODIMP FolderObject::GetContentsTable(ULONG ulFlags, LPMAPITABLE* lppTable) {
    (void)ulFlags;
    if (!lppTable) return MAPI_E_INVALID_PARAMETER;
    *lppTable = nullptr;
    return Guarded([&] {
        m_context.Row(m_id);
        std::vector<TableObject::RowReader> rows;
        for (const auto& message : m_context.file->Children(m_id, kMessageObject)) {
            rows.push_back([context = m_context, id = message.id,
                            folder = m_id]() -> std::optional<std::vector<StoredProp>> {
                auto row = context.file->Find(id);
                if (!row || row->parent != folder) return std::nullopt;
                return context.ObjectProps(*row);
            });
        }
        *lppTable = new TableObject(std::move(rows),
                                    {PR_ENTRYID, PR_MESSAGE_CLASS_W, PR_SUBJECT_W, PR_MESSAGE_FLAGS});
        return S_OK;
    });
}

STDMETHODIMP FolderObject::CreateMessage(LPCIID lpInterface, ULONG ulFlags, LPMESSAGE* lppMessage) {
    (void)lpInterface;
    (void)ulFlags;
    if (!lppMessage) return MAPI_E_INVALID_PARAMETER;
    *lppMessage = nullptr;
    return Guarded([&] {
        ObjectRow message;
        m_context.file->Write([&] {
            m_context.Row(m_id);
            message = m_context.file->Add(kMessageObject, m_id, MessageObject::NewMessageProps());
        });
        m_context.NotifyMessage(fnevObjectCreated, message.id, m_id);
        *lppMessage = new MessageObject(m_context, message.id, true);
        return S_OK;
    });
}

std::vector<std::int64_t> FolderObject::MessagesOf(const ENTRYLIST& list, bool* missing) {
    if (list.cValues && !list.lpbin) throw MapiError(MAPI_E_INVALID_PARAMETER);
    std::vector<std::int64_t> messages;
    for (ULONG i = 0; i < list.cValues; ++i) {
        auto ref = ParseEntryId(list.lpbin[i].cb, reinterpret_cast<const ENTRYID*>(list.lpbin[i].lpb));
        std::optional<ObjectRow> row;
        if (ref && ref->store == m_context.file->Uid() && ref->type == MAPI_MESSAGE)
            row = m_context.file->Find(ref->id);
        if (row && row->type == kMessageObject && row->parent == m_id)
            messages.push_back(row->id);
        else
            *missing = true;
    }
    return messages;
}

STDMETHODIMP FolderObject::CopyMessages(LPENTRYLIST lpMsgList, LPCIID lpInterface,
                                        LPVOID lpDestFolder, ULONG_PTR ulUIParam, LPVOID lpProgress,
                                        ULONG ulFlags) {
    (void)lpInterface;
    (void)ulUIParam;
    (void)lpProgress;
    if (!lpMsgList || !lpDestFolder) return MAPI_E_INVALID_PARAMETER;
    auto destination = dynamic_cast<FolderObject*>(static_cast<IMAPIFolder*>(lpDestFolder));
    if (!destination) return MAPI_E_INVALID_PARAMETER;
    if (destination->m_context.file != m_context.file) return MAPI_E_NO_SUPPORT;
    return Guarded([&] {
        // The messages move or copy in one write; the sinks hear of them once it is durable.
        bool missing = false;
        std::vector<std::pair<std::int64_t, std::int64_t>> done;  // (message, copy or 0)
        m_context.file->Write([&] {
            m_context.Row(m_id);
            m_context.Row(destination->m_id);
            for (auto message : MessagesOf(*lpMsgList, &missing)) {
                if (ulFlags & MAPI_MOVE) {
                    if (destination->m_id == m_id) continue;
                    m_context.file->Reparent(message, destination->m_id);
                    done.emplace_back(message, 0);
                } else {
                    done.emplace_back(message, m_context.file->CopyTree(message, destination->m_id));
                }
            }
        });
        for (auto [message, copy] : done) {
            if (copy)
                m_context.NotifyMessage(fnevObjectCopied, copy, destination->m_id, m_id, message);
            else
                m_context.NotifyMessage(fnevObjectMoved, message, destination->m_id, m_id);
        }
        return missing ? MAPI_W_PARTIAL_COMPLETION : S_OK;
    });
}

STDMETHODIMP FolderObject::DeleteMessages(LPENTRYLIST lpMsgList, ULONG_PTR ulUIParam,
                                          LPVOID lpProgress, ULONG ulFlags) {
    (void)ulUIParam;
    (void)lpProgress;
    (void)ulFlags;
    if (!lpMsgList) return MAPI_E_INVALID_PARAMETER;
    return Guarded([&] {
        bool missing = false;
        std::vector<std::int64_t> deleted;
        m_context.file->Write([&] {
            m_context.Row(m_id);
            deleted = MessagesOf(*lpMsgList, &missing);
            for (auto message : deleted) m_context.file->DeleteTree(message);
        });
        for (auto message : deleted) m_context.NotifyMessage(fnevObjectDeleted, message, m_id);
        return missing ? MAPI_W_PARTIAL_COMPLETION : S_OK;
    });
}

}  // namespace emu::cemapi
