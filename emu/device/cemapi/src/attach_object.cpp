#include "attach_object.h"

namespace emu::cemapi {

std::vector<StoredProp> AttachObject::AllProps() { return m_context.PropsOf(m_id); }

void AttachObject::WriteProps(const std::vector<StoredProp>& set, const std::vector<ULONG>& removeIds) {
    ObjectRow message;
    m_context.file->Write([&] {
        message = m_context.Row(m_context.Row(m_id).parent);
        m_context.file->Update(m_id, set, removeIds);
    });
    m_context.NotifyMessage(fnevObjectModified, message.id, message.parent);
}

}  // namespace emu::cemapi
