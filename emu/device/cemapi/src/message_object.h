// A message: its values (a new one is of class "IPM.Note", flags read | unsent, status 0), its
// recipients and its attachments. Every change is written at once, each call's changes as one
// transaction, and then notified as a modification of the message.
#pragma once

#include "prop_object.h"

namespace emu::cemapi {

class MessageObject final : public PropObject<IMessage> {
public:
    MessageObject(StoreContext context, std::int64_t id, bool writable)
        : PropObject(std::move(context), writable), m_id(id) {}

    // The values a new message starts with.
    static std::vector<StoredProp> NewMessageProps();

    STDMETHODIMP GetAttachmentTable(ULONG ulFlags, LPMAPITABLE* lppTable) override;
    STDMETHODIMP OpenAttach(ULONG ulAttachmentNum, LPCIID lpInterface, ULONG ulFlags,
                            LPATTACH* lppAttach) override;
    STDMETHODIMP CreateAttach(LPCIID lpInterface, ULONG ulFlags, ULONG* lpulAttachmentNum,
                              LPATTACH* lppAttach) override;
    STDMETHODIMP DeleteAttach(ULONG ulAttachmentNum, ULONG_PTR ulUIParam, LPVOID lpProgress,
                              ULONG ulFlags) override;
    STDMETHODIMP GetRecipientTable(ULONG ulFlags, LPMAPITABLE* lppTable) override;
    STDMETHODIMP ModifyRecipients(ULONG ulFlags, LPADRLIST lpMods) override;

protected:
    bool Answers(REFIID riid) const override { return riid == IID_IMessage || riid == IID_IMAPIProp; }
    std::vector<StoredProp> AllProps() override;
    void WriteProps(const std::vector<StoredProp>& set, const std::vector<ULONG>& removeIds) override;

private:
    LPMAPITABLE ChildTable(ULONG type);
    // Runs `work` as one write of the store while the message is there; when it answers true
    // (it changed something), tells the sinks once the write is durable.
    template <class Work>
    void Modify(Work&& work);
    bool ReplaceRecipients(ULONG ulFlags, LPADRLIST lpMods);

    std::int64_t m_id;
};

}  // namespace emu::cemapi
