// A message store as a session opens it: its own values (name, entry identifier, the entry
// identifiers of its folders), advise registrations, entry identifier comparison and opening its
// folders and messages.
#pragma once

#include "prop_object.h"

namespace emu::cemapi {

class MsgStoreObject final : public PropObject<IMsgStore> {
public:
    explicit MsgStoreObject(StoreContext context) : PropObject(std::move(context), false) {}

    STDMETHODIMP Advise(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask,
                        LPMAPIADVISESINK lpAdviseSink, ULONG* lpulConnection) override;
    STDMETHODIMP Unadvise(ULONG ulConnection) override;
    STDMETHODIMP CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2,
                                 LPENTRYID lpEntryID2, ULONG ulFlags, ULONG* lpulResult) override;
    STDMETHODIMP OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                           ULONG* lpulObjType, LPUNKNOWN* lppUnk) override;

protected:
    bool Answers(REFIID riid) const override { return riid == IID_IMsgStore || riid == IID_IMAPIProp; }
    std::vector<StoredProp> AllProps() override { return m_context.StoreProps(); }
    void WriteProps(const std::vector<StoredProp>&, const std::vector<ULONG>&) override {
        throw MapiError(MAPI_E_NO_ACCESS);
    }
};

// Compares two entry identifiers; MAPI_E_INVALID_ENTRYID when either is none of this emulation.
HRESULT CompareEntries(ULONG cb1, const ENTRYID* id1, ULONG cb2, const ENTRYID* id2, ULONG* result);

}  // namespace emu::cemapi
