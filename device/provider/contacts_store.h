// The per-type store of "Address": objects are records of the contacts journal; contacts the
// provider writes itself go on the echo list so that the notification service skips them.
#pragma once

#include <cedb.h>
#include <pimstore.h>

#include "ce_db_volume.h"
#include "contacts_handler.h"
#include "kestrin_obj.h"

class CContactsStore : public CKestrinObj {
public:
    // Reads the platform version, starts a contacts session (IPOutlookApp2 from version 5) and
    // creates (or opens) the contacts lock, not owned.
    explicit CContactsStore(CCeDBVolume& volume);
    // Ends the session; under the contacts lock, deletes the echo list; closes the lock.
    ~CContactsStore() override;

    // Creates the handler and an empty echo list (one left by an earlier run is emptied under
    // the contacts lock) and learns its identifier.
    BOOL InitObjType(IReplObjHandler** handler, UINT partnerBit) override;
    // Code 5 (get): whether the device synchronizes contacts itself for this partnership.
    HRESULT DataRequest(SDREQUEST* request) override;
    BOOL GetObjTypeInfo(OBJTYPEINFO* info) override;
    BOOL ObjectNotify(OBJNOTIFY* notify) override;
    // E_UNEXPECTED unless the request's type is exactly "Address".
    HRESULT FindObjects(FINDOBJINFO* info) override;

    // Puts a contact on the echo list: its next change notification is the provider's own.
    // FALSE when the echo list cannot be opened or written.
    BOOL AddToEchoList(CEOID contactOid);

    UINT PartnerBit() const { return m_partnerBit; }
    DWORD PlatformVersion() const { return m_platformVersion; }
    CEOID EchoListOid() const { return m_echoListOid; }
    HANDLE Lock() const { return m_lock; }
    CCeDBVolume& Volume() { return m_volume; }
    // The contacts session, null when it could not be started.
    IPOutlookApp* Application() const { return m_application; }
    // The same session from platform version 5, else null.
    IPOutlookApp2* Application2() const;

private:
    // The answer to data request 5.
    DWORD DeviceContactsSync() const;

    CCeDBVolume& m_volume;
    UINT m_partnerBit = 0;
    HANDLE m_lock;
    DWORD m_platformVersion = 0;
    CEOID m_echoListOid = 0;
    IPOutlookApp* m_application = nullptr;
    bool m_loggedOn = false;
};
