// The advise sink through which the message store reports changes to the service.
#pragma once

#include <cemapi.h>
#include <windows.h>

class CWndHidden;

class CMailAdviseSink : public IMAPIAdviseSink {
public:
    CMailAdviseSink();
    virtual ~CMailAdviseSink();
    CMailAdviseSink(const CMailAdviseSink&) = delete;
    CMailAdviseSink& operator=(const CMailAdviseSink&) = delete;

    // The sink lives as long as the service object: no interfaces, no counting.
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 0; }
    STDMETHODIMP_(ULONG) Release() override { return 0; }
    // Hands the notifications to the service while it is attached; S_OK.
    STDMETHODIMP_(ULONG) OnNotify(ULONG count, LPNOTIFICATION notifications) override;

    // Connects the sink to the service (null: detaches it). Detaching waits for a call under way
    // to finish, so that no call reaches the service once this returns.
    void Attach(CWndHidden* service);

private:
    CRITICAL_SECTION m_lock;  // held for each call and while attaching
    CWndHidden* m_service = nullptr;
};
