// A session over the device's message stores: the store table, opening stores and their objects
// by entry identifier, comparing identifiers, and logging off.
#pragma once

#include <atomic>

#include "com_object.h"

namespace pal {
class Machine;
}

namespace emu::cemapi {

class SessionObject final : public ComObject<IMAPISession> {
public:
    explicit SessionObject(pal::Machine& machine) : m_machine(machine) {}

    STDMETHODIMP GetMsgStoresTable(ULONG ulFlags, LPMAPITABLE* lppTable) override;
    STDMETHODIMP OpenMsgStore(ULONG_PTR ulUIParam, ULONG cbEntryID, LPENTRYID lpEntryID,
                              LPCIID lpInterface, ULONG ulFlags, LPMDB* lppMDB) override;
    STDMETHODIMP OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                           ULONG* lpulObjType, LPUNKNOWN* lppUnk) override;
    STDMETHODIMP CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2,
                                 LPENTRYID lpEntryID2, ULONG ulFlags, ULONG* lpulResult) override;
    STDMETHODIMP Logoff(ULONG_PTR ulUIParam, ULONG ulFlags, ULONG ulReserved) override;

protected:
    bool Answers(REFIID) const override { return false; }

private:
    pal::Machine& m_machine;
    std::atomic<bool> m_loggedOff{false};
};

}  // namespace emu::cemapi
