#include "attach_object.h"

namespace emu::cemapi {

std::vector<StoredProp> AttachObject::AllProps() { return m_context.ObjectProps(m_context.Row(m_id)); }

void AttachObject::WriteProps(const std::vector<StoredProp>& set, const std::vector<ULONG>& removeIds) {
    ObjectRow attachment = m_context.Row(m_id);
    ObjectRow message = m_context.Row(attachment.parent);
    m_context.file->Update(m_id, set, removeIds);
    m_context.NotifyMessage(fnevObjectModified, message.id, message.parent);
}

}  // namespace emu::cemapi
