#include "mail_store.h"

#include <new>

#include "journal.h"
#include "journal_operations.h"

STDMETHODIMP CMailHandler::GetPacket(LPBYTE* data, DWORD* size, DWORD) {
    if (data) *data = nullptr;
    if (size) *size = 0;
    return E_FAIL;
}

STDMETHODIMP CMailHandler::SetPacket(LPBYTE, DWORD) { return E_FAIL; }

STDMETHODIMP CMailHandler::DeleteObj(REPLSETUP*) { return E_FAIL; }

CMailStore::CMailStore(CCeDBVolume& volume) : m_volume(volume) {
    // Created not owned: an owned lock would stay held by this thread between every Reset and
    // the store's end, and keep the notification service from the mail journal all that time.
    m_lock = CreateMutexW(nullptr, FALSE, MAIL_LOCK_NAME);
}

CMailStore::~CMailStore() {
    // Closing the handle does not release ownership; the handlers give it back in Reset.
    if (m_lock) CloseHandle(m_lock);
}

BOOL CMailStore::InitObjType(IReplObjHandler** handler, UINT partnerBit) {
    if (!handler || (partnerBit != 1 && partnerBit != 2)) return FALSE;
    auto* created = new (std::nothrow) CMailHandler(*this, m_lock);
    if (!created) return FALSE;
    *handler = created;
    m_partnerBit = partnerBit;
    return TRUE;
}

HRESULT CMailStore::DataRequest(SDREQUEST*) { return E_NOTIMPL; }

BOOL CMailStore::GetObjTypeInfo(OBJTYPEINFO* info) {
    return JournalStatistics(kMailJournal, m_volume, info);
}

BOOL CMailStore::ObjectNotify(OBJNOTIFY* notify) {
    return NotifyJournalObject(kMailJournal, m_volume, m_partnerBit, notify);
}

HRESULT CMailStore::FindObjects(FINDOBJINFO* info) {
    if (!info || !IsObjType(info->szObjType, MAIL_OBJTYPE)) return E_UNEXPECTED;
    return ListJournalObjects(kMailJournal, m_volume, m_partnerBit, info);
}
