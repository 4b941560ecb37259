#include "message_object.h"

#include "attach_object.h"
#include "table_object.h"

namespace emu::cemapi {

std::vector<StoredProp> MessageObject::NewMessageProps() {
    return {TextProp(PR_MESSAGE_CLASS_W, u"IPM.Note"),
            LongProp(PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_UNSENT), LongProp(PR_MSG_STATUS, 0)};
}

std::vector<StoredProp> MessageObject::AllProps() { return m_context.PropsOf(m_id); }

template <class Work>
void MessageObject::Modify(Work&& work) {
    std::int64_t folder = 0;
    bool changed = false;
    m_context.file->Write([&] {
        folder = m_context.Row(m_id).parent;
        changed = work();
    });
    if (changed) m_context.NotifyMessage(fnevObjectModified, m_id, folder);
}

void MessageObject::WriteProps(const std::vector<StoredProp>& set,
                               const std::vector<ULONG>& removeIds) {
    Modify([&] {
        m_context.file->Update(m_id, set, removeIds);
        return true;
    });
}

LPMAPITABLE MessageObject::ChildTable(ULONG type) {
    m_context.Row(m_id);
    std::vector<TableObject::RowReader> rows;
    for (const auto& child : m_context.file->Children(m_id, type)) {
        rows.push_back([context = m_context, id = child.id]() -> std::optional<std::vector<StoredProp>> {
            auto row = context.file->Find(id);
            if (!row) return std::nullopt;
            return context.ObjectProps(*row);
        });
    }
    return new TableObject(std::move(rows), {});
}

STDMETHODIMP MessageObject::GetAttachmentTable(ULONG ulFlags, LPMAPITABLE* lppTable) {
    (void)ulFlags;
    if (!lppTable) return MAPI_E_INVALID_PARAMETER;
    *lppTable = nullptr;
    return Guarded([&] {
        *lppTable = ChildTable(kAttachObject);
        return S_OK;
    });
}

STDMETHODIMP MessageObject::GetRecipientTable(ULONG ulFlags, LPMAPITABLE* lppTable) {
    (void)ulFlags;
    if (!lppTable) return MAPI_E_INVALID_PARAMETER;
    *lppTable = nullptr;
    return Guarded([&] {
        *lppTable = ChildTable(kRecipientObject);
        return S_OK;
    });
}

STDMETHODIMP MessageObject::OpenAttach(ULONG ulAttachmentNum, LPCIID lpInterface, ULONG ulFlags,
                                       LPATTACH* lppAttach) {
    (void)lpInterface;
    if (!lppAttach) return MAPI_E_INVALID_PARAMETER;
    *lppAttach = nullptr;
    return Guarded([&] {
        m_context.Row(m_id);
        for (const auto& child : m_context.file->Children(m_id, kAttachObject)) {
            if (child.number != ulAttachmentNum) continue;
            bool writable = m_writable && (ulFlags & (MAPI_MODIFY | MAPI_BEST_ACCESS));
            *lppAttach = new AttachObject(m_context, child.id, writable);
            return S_OK;
        }
        return MAPI_E_NOT_FOUND;
    });
}

STDMETHODIMP MessageObject::CreateAttach(LPCIID lpInterface, ULONG ulFlags, ULONG* lpulAttachmentNum,
                                         LPATTACH* lppAttach) {
    (void)lpInterface;
    (void)ulFlags;
    if (!lpulAttachmentNum || !lppAttach) return MAPI_E_INVALID_PARAMETER;
    *lppAttach = nullptr;
    if (!m_writable) return MAPI_E_NO_ACCESS;
    return Guarded([&] {
        ObjectRow attachment;
        Modify([&] {
            attachment = m_context.file->Add(kAttachObject, m_id, {});
            return true;
        });
        *lpulAttachmentNum = attachment.number;
        *lppAttach = new AttachObject(m_context, attachment.id, true);
        return S_OK;
    });
}

STDMETHODIMP MessageObject::DeleteAttach(ULONG ulAttachmentNum, ULONG_PTR ulUIParam,
                                         LPVOID lpProgress, ULONG ulFlags) {
    (void)ulUIParam;
    (void)lpProgress;
    (void)ulFlags;
    if (!m_writable) return MAPI_E_NO_ACCESS;
    return Guarded([&] {
        bool deleted = false;
        Modify([&] {
            for (const auto& child : m_context.file->Children(m_id, kAttachObject)) {
                if (child.number != ulAttachmentNum) continue;
                m_context.file->DeleteTree(child.id);
                deleted = true;
                break;
            }
            return deleted;
        });
        return deleted ? S_OK : MAPI_E_NOT_FOUND;
    });
}

STDMETHODIMP MessageObject::ModifyRecipients(ULONG ulFlags, LPADRLIST lpMods) {
    if (!lpMods && ulFlags != 0) return MAPI_E_INVALID_PARAMETER;
    if (ulFlags & ~static_cast<ULONG>(MODRECIP_ADD | MODRECIP_MODIFY | MODRECIP_REMOVE))
        return MAPI_E_UNKNOWN_FLAGS;
    if (!m_writable) return MAPI_E_NO_ACCESS;
    return Guarded([&] {
        Modify([&] { return ReplaceRecipients(ulFlags, lpMods); });
        return S_OK;
    });
}

// One ModifyRecipients call's changes; the caller makes them one write.
bool MessageObject::ReplaceRecipients(ULONG ulFlags, LPADRLIST lpMods) {
    auto& file = *m_context.file;
    auto recipients = file.Children(m_id, kRecipientObject);
    auto rowOf = [&](const ADRENTRY& entry) -> std::optional<ObjectRow> {
        for (ULONG i = 0; i < entry.cValues; ++i) {
            if (entry.rgPropVals[i].ulPropTag != PR_ROWID) continue;
            for (const auto& recipient : recipients)
                if (recipient.number == static_cast<ULONG>(entry.rgPropVals[i].Value.l))
                    return recipient;
        }
        return std::nullopt;
    };
    auto valuesOf = [](const ADRENTRY& entry) {
        std::vector<StoredProp> values;
        for (ULONG i = 0; i < entry.cValues; ++i)
            if (!IsComputed(entry.rgPropVals[i].ulPropTag))
                values.push_back(FromPropValue(entry.rgPropVals[i]));
        return values;
    };
    ULONG count = lpMods ? lpMods->cEntries : 0;
    for (ULONG i = 0; i < count; ++i)
        if (lpMods->aEntries[i].cValues && !lpMods->aEntries[i].rgPropVals)
            throw MapiError(MAPI_E_INVALID_PARAMETER);
    if (ulFlags == 0) {
        for (const auto& recipient : recipients) file.DeleteTree(recipient.id);
    }
    for (ULONG i = 0; i < count; ++i) {
        const ADRENTRY& entry = lpMods->aEntries[i];
        if (ulFlags == 0 || (ulFlags & MODRECIP_ADD)) {
            file.Add(kRecipientObject, m_id, valuesOf(entry));
        } else if (auto row = rowOf(entry)) {
            if (ulFlags & MODRECIP_REMOVE)
                file.DeleteTree(row->id);
            else
                file.Replace(row->id, valuesOf(entry));
        } else {
            throw MapiError(MAPI_E_NOT_FOUND);
        }
    }
    return true;
}

}  // namespace emu::cemapi
