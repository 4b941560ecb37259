// The contacts watch: the notification request on the device's "Contacts Database" (before
// Windows Mobile 5) or the Pocket Outlook application that posts remote item changes (Windows
// Mobile 5 and later).
#pragma once

#include <cedb.h>
#include <pimstore.h>
#include <windows.h>

#include "ce_db.h"

class CKTNotification {
public:
    CKTNotification();
    // Releases the application object and closes the database.
    virtual ~CKTNotification();
    CKTNotification(const CKTNotification&) = delete;
    CKTNotification& operator=(const CKTNotification&) = delete;

    // Starts following contact changes, which arrive at `window` as window messages.
    void Start(HWND window);
    // Stops following them; the watch can be started again.
    void Stop();

    // The notification request the platform's notifications were posted with.
    CENOTIFYREQUEST* Request() { return &m_request; }

private:
    CENOTIFYREQUEST m_request;
    CCeDB m_contacts;
    IPOutlookApp2* m_application = nullptr;
};
