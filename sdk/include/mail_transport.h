// The device Inbox's transport interface: a transport library exports OneStopFactory, which
// creates the handler of an account type; the Inbox initialises the handler with its callback,
// the account's name and message store, and asks it what the account type offers.
#pragma once

#include <cemapi.h>
#include <windows.h>

// The Inbox's side of a transport: the transport holds one reference for its lifetime.
struct IMailSyncCallBack : public IUnknown {};

// A transport's handler of one account, in the Inbox's slot order (0 to 2 are IUnknown's).
struct IMailSyncHandler : public IUnknown {
    // 3: binds the handler to the account; a callback is required.
    virtual HRESULT STDMETHODCALLTYPE Initialize(IMailSyncCallBack* pCallback,
                                                 LPCWSTR pszProfileName, IMsgStore* pMsgStore) = 0;
    virtual HRESULT STDMETHODCALLTYPE ShutDown(DWORD dwReserved) = 0;                    // 4
    virtual HRESULT STDMETHODCALLTYPE Install(LPCWSTR pszProfileName, LPVOID pReserved) = 0;  // 5
    virtual HRESULT STDMETHODCALLTYPE UnInstall(LPCWSTR pszProfileName) = 0;              // 6
    // 7: what the account type offers, by capability name; the answer goes to pValue->Value.
    virtual HRESULT STDMETHODCALLTYPE GetCapability(LPCWSTR pszName, SPropValue* pValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE DecodeEvent(LPVOID pEvent, DWORD* pdwFlags) = 0;    // 8
    virtual HRESULT STDMETHODCALLTYPE Connect(DWORD dwFlags, LPVOID pCredentials) = 0;    // 9
    virtual HRESULT STDMETHODCALLTYPE Disconnect(DWORD dwFlags) = 0;                      // 10
    virtual HRESULT STDMETHODCALLTYPE Synchronize(LPVOID pRequest) = 0;                   // 11
    virtual HRESULT STDMETHODCALLTYPE GetFolderHierarchy(LPVOID pRequest) = 0;            // 12
    virtual HRESULT STDMETHODCALLTYPE CreateFolder(LPVOID pRequest) = 0;                  // 13
    virtual HRESULT STDMETHODCALLTYPE DeleteFolder(LPVOID pRequest) = 0;                  // 14
    virtual HRESULT STDMETHODCALLTYPE RenameFolder(LPVOID pRequest) = 0;                  // 15
};

// The transport library's factory export: the handler of `pszType`, one reference.
using PONESTOPFACTORY = HRESULT (*)(LPCWSTR pszType, IMailSyncHandler** ppHandler);

// Where the Inbox finds its transports: one subkey per account type, whose "DLL" names the
// library, "Name" the type, "UserCannotCreate" whether users may add accounts of it, and whose
// "MsgClasses" subkey lists the message classes the type carries.
#define INBOX_SVC_KEY W("Software\\Microsoft\\Inbox\\Svc")
