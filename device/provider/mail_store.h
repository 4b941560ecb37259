// The per-type store of "Message": objects are records of the mail journal, each naming one
// message of the Inbox account's message store.
#pragma once

#include <cemapi.h>

#include <array>
#include <optional>

#include "attachment_record.h"
#include "ce_db_volume.h"
#include "kestrin_obj.h"

class CMailStore : public CKestrinObj {
public:
    // Enters the message stores and logs on (a failed logon leaves the store without a session),
    // and creates the mail lock owned by the constructing thread. When the lock existed already
    // (the notification service made it), the hold is taken by waiting for it, so that in either
    // case the service journals nothing from here to the store's end.
    explicit CMailStore(CCeDBVolume& volume);
    // Releases the current message and record (with the data-request hold), gives back the
    // construction hold and closes the mail lock, logs off and leaves the message stores.
    ~CMailStore() override;
    CMailStore(const CMailStore&) = delete;
    CMailStore& operator=(const CMailStore&) = delete;

    // Opens the message store whose display name is the account's "FriendlyName" (FALSE when the
    // name is absent or no store has it), then creates the handler. Without a session the
    // handler is created without a message store.
    BOOL InitObjType(IReplObjHandler** handler, UINT partnerBit) override;
    // Codes 1 to 5 as the desktop issues them; see mail_data_request.cpp.
    HRESULT DataRequest(SDREQUEST* request) override;
    BOOL GetObjTypeInfo(OBJTYPEINFO* info) override;
    BOOL ObjectNotify(OBJNOTIFY* notify) override;
    // E_UNEXPECTED unless the request's type is exactly "Message".
    HRESULT FindObjects(FINDOBJINFO* info) override;

    UINT PartnerBit() const { return m_partnerBit; }
    // ChangeState of what this partnership writes: the other partnership's bit only.
    WORD OtherPartnerBits() const { return static_cast<WORD>(~m_partnerBit & CHANGE_BITS); }
    HANDLE Lock() const { return m_lock; }
    IMAPISession* Session() const { return m_session; }
    IMsgStore* MessageStore() const { return m_messageStore; }
    CCeDBVolume& Volume() { return m_volume; }

private:
    static constexpr UINT CHANGE_BITS = 0x3;

    HRESULT SelectMessage(const SDREQUEST& request);
    HRESULT EndRequestRun(const SDREQUEST& request);
    HRESULT DeliverFile(const AttachmentRecord& record);
    HRESULT ExportAttachment(SDREQUEST& request);
    void ReleaseCurrent();

    CCeDBVolume& m_volume;
    UINT m_partnerBit = 0;
    bool m_mapiEntered = false;
    IMAPISession* m_session = nullptr;
    IMsgStore* m_messageStore = nullptr;
    HANDLE m_lock = nullptr;
    // The hold taken at construction, given back at the end.
    bool m_sessionHold = false;
    // The hold a data request 1 took, given back by code 2 or at the end: only the store's own
    // hold is ever released, so a stray code 2 cannot free the lock for the service.
    bool m_requestHold = false;
    IMessage* m_current = nullptr;
    std::optional<AttachmentRecord> m_record;
};
