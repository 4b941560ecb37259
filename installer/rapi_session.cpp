#include "rapi_session.h"

#include <rapi.h>

CRapiSession::CRapiSession() {
    RAPIINIT init = {};
    init.cbSize = CBSIZE_RAPIINIT;
    if (FAILED(CeRapiInitEx(&init))) return;
    m_started = true;
    m_up = WaitForSingleObject(init.heRapiInit, 5000) == WAIT_OBJECT_0 &&
           SUCCEEDED(init.hrRapiInit);
}

CRapiSession::~CRapiSession() {
    if (m_started) CeRapiUninit();
}
