// A folder of a store: its messages (contents table), new messages, and copying, moving and
// deleting messages, each notified to the store's sinks.
#pragma once

#include "prop_object.h"

namespace emu::cemapi {

class FolderObject final : public PropObject<IMAPIFolder> {
public:
    FolderObject(StoreContext context, std::int64_t id) : PropObject(std::move(context), false), m_id(id) {}

    STDMETHODIMP GetContentsTable(ULONG ulFlags, LPMAPITABLE* lppTable) override;
    STDMETHODIMP CreateMessage(LPCIID lpInterface, ULONG ulFlags, LPMESSAGE* lppMessage) override;
    STDMETHODIMP CopyMessages(LPENTRYLIST lpMsgList, LPCIID lpInterface, LPVOID lpDestFolder,
                              ULONG_PTR ulUIParam, LPVOID lpProgress, ULONG ulFlags) override;
    STDMETHODIMP DeleteMessages(LPENTRYLIST lpMsgList, ULONG_PTR ulUIParam, LPVOID lpProgress,
                                ULONG ulFlags) override;

protected:
    bool Answers(REFIID riid) const override {
        return riid == IID_IMAPIFolder || riid == IID_IMAPIProp;
    }
    std::vector<StoredProp> AllProps() override;
    void WriteProps(const std::vector<StoredProp>& set, const std::vector<ULONG>& removeIds) override;

private:
    // The message ids of the list that lie in this folder; *missing counts the others.
    std::vector<std::int64_t> MessagesOf(const ENTRYLIST& list, bool* missing);

    std::int64_t m_id;
};

}  // namespace emu::cemapi
