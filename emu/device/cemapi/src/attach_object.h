// An attachment of a message: its values, its number, and its content as the stream of
// PR_ATTACH_DATA_BIN. A change to it is a change of its message.
#pragma once

#include "prop_object.h"

namespace emu::cemapi {

class AttachObject final : public PropObject<IAttach> {
public:
    AttachObject(StoreContext context, std::int64_t id, bool writable)
        : PropObject(std::move(context), writable), m_id(id) {}

protected:
    bool Answers(REFIID riid) const override { return riid == IID_IAttachment || riid == IID_IMAPIProp; }
    std::vector<StoredProp> AllProps() override;
    void WriteProps(const std::vector<StoredProp>& set, const std::vector<ULONG>& removeIds) override;

private:
    std::int64_t m_id;
};

}  // namespace emu::cemapi
