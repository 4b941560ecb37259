// A remote-call session with the connected device for the length of one export.
#pragma once

#include <windows.h>

class CRapiSession {
public:
    // Starts the session and waits up to five seconds for it to settle.
    CRapiSession();
    // Ends the session when it was started.
    ~CRapiSession();
    CRapiSession(const CRapiSession&) = delete;
    CRapiSession& operator=(const CRapiSession&) = delete;

    // The session started, settled in time and reported success.
    bool IsUp() const { return m_up; }

private:
    bool m_started = false;
    bool m_up = false;
};
