#include "wnd_hidden.h"

#include <cstdio>
#include <new>

#include "mail_folder.h"
#include "mail_item.h"
#include "resource_library.h"
#include "simple_mapi.h"
#include "st_log_file.h"
#include "store.h"

namespace {

// The window class's name, generated from the procedure's address: the same for every window of
// this copy of the provider, and distinct from the names other code of the process registers.
void ClassName(WNDPROC procedure, char (&name)[48]) {
    std::snprintf(name, sizeof name, "TrelliumWatch:%p", reinterpret_cast<void*>(procedure));
}

void MessageIdText(ULONGLONG id, char (&text)[MAIL_ID_SIZE]) {
    std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(id));
}

}  // namespace

CWndHidden::CWndHidden()
    : m_hWnd(nullptr), m_namespace(nullptr), m_inbox(nullptr), m_owner(nullptr) {}

BOOL CWndHidden::Create() {
    if (m_hWnd) return TRUE;
    HINSTANCE instance = ProviderModule();
    char className[48];
    ClassName(WindowProc, className);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    // Registers the class the first time a window is made in this process; later calls find it.
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        ST_LOG("Change watch: window class not registered (error %u)",
               static_cast<unsigned>(GetLastError()));
        return FALSE;
    }
    // WM_CREATE runs OnCreate before this returns; the procedure finds the object through the
    // creation parameter.
    HWND window = CreateWindowExA(0, className, "Message", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, this);
    if (!window) {
        ST_LOG("Change watch: window not created (error %u)",
               static_cast<unsigned>(GetLastError()));
        return FALSE;
    }
    return TRUE;
}

void CWndHidden::Destroy() {
    // Sends WM_DESTROY (OnDestroy) and WM_NCDESTROY, which clears m_hWnd.
    if (m_hWnd) DestroyWindow(m_hWnd);
}

LRESULT CALLBACK CWndHidden::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CWndHidden* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<CWndHidden*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->m_hWnd = window;
        // Keeps the object with the window for every later message.
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        // The object stored at WM_NCCREATE; 0 after WM_NCDESTROY.
        self = reinterpret_cast<CWndHidden*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
        case WM_CREATE:
            self->OnCreate();
            return 0;
        case WM_DESTROY:
            self->OnDestroy();
            return 0;
        case WM_NCDESTROY:
            self->m_hWnd = nullptr;
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            break;
        case STORE_NOTIFY_NEW_MESSAGE:
            self->NotifyMessage(RNC_CREATED, wParam);
            return 0;
        case STORE_NOTIFY_DELETED:
            // The client keeps the identifier alive for us; a null pointer names no message.
            if (wParam) self->NotifyDeleted(*reinterpret_cast<const STOREMSGID*>(wParam));
            return 0;
        case STORE_NOTIFY_MARKED_READ:
        case STORE_NOTIFY_MARKED_UNREAD:
            if (wParam == STORE_NOTIFY_ALL_MESSAGES)
                self->NotifyEveryItem();
            else if (wParam)
                self->NotifyMessage(RNC_MODIFIED, *reinterpret_cast<const STOREMSGID*>(wParam));
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void CWndHidden::OnCreate() {
    // The mail client's store, in-process or as a local server.
    HRESULT result =
        CoCreateInstance(CLSID_StoreNamespace, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                         IID_IStoreNamespace, reinterpret_cast<void**>(&m_namespace));
    const char* step = "store namespace";
    if (SUCCEEDED(result)) {
        step = "Initialize";
        result = m_namespace->Initialize(m_hWnd, 0);
    }
    if (SUCCEEDED(result)) {
        step = "Inbox";
        result = m_namespace->OpenSpecialFolder(STORE_FOLDER_INBOX, 0, &m_inbox);
    }
    if (SUCCEEDED(result)) {
        step = "RegisterNotification";
        result = m_inbox->RegisterNotification(0, m_hWnd);
    }
    if (FAILED(result))
        ST_LOG("Change watch: %s failed (0x%08X)", step, static_cast<unsigned>(result));
}

void CWndHidden::OnDestroy() {
    if (m_inbox) {
        m_inbox->UnregisterNotification(0, m_hWnd);
        m_inbox->Release();
        m_inbox = nullptr;
    }
    if (m_namespace) {
        m_namespace->Release();
        m_namespace = nullptr;
    }
}

BOOL CWndHidden::Notify(UINT code, CMailItem* item) {
    // After RSC_RELEASE the store holds no callback: the change has nobody to go to.
    IReplNotify* notify = m_owner->m_store->m_notify;
    if (!notify) return FALSE;
    char progId[] = STORE_PROGID;
    char objType[32];
    std::snprintf(objType, sizeof objType, "%s", m_owner->GetObjTypeName());
    notify->OnItemNotify(code, progId, objType, ToHandle(item), 0);
    return TRUE;
}

void CWndHidden::NotifyMessage(UINT code, ULONGLONG id) {
    CSimpleMAPI* mapi = m_owner->m_store->m_mapi;
    if (!mapi) return;
    CMailItem* item = new (std::nothrow) CMailItem();
    if (!item) return;
    char text[MAIL_ID_SIZE];
    MessageIdText(id, text);
    item->SetMessageId(text);
    lpMapiMessage message = nullptr;
    // The envelope only, without marking the message read.
    if (mapi->ReadMail(item->m_messageId, MAPI_PEEK | MAPI_ENVELOPE_ONLY, &message) ==
            SUCCESS_SUCCESS &&
        message) {
        item->SetReceived(message->lpszDateReceived);
        item->m_unread = (message->flFlags & MAPI_UNREAD) ? 1 : 0;
        mapi->FreeBuffer(message);
        if (Notify(code, item)) return;
    } else {
        mapi->FreeBuffer(message);
    }
    item->Free();
}

void CWndHidden::NotifyDeleted(ULONGLONG id) {
    CMailItem* item = new (std::nothrow) CMailItem();
    if (!item) return;
    char text[MAIL_ID_SIZE];
    MessageIdText(id, text);
    item->SetMessageId(text);
    if (!Notify(RNC_DELETED, item)) item->Free();
}

void CWndHidden::NotifyEveryItem() {
    CStore* store = m_owner->m_store;
    if (!store->m_notify) return;
    // Through the store, so that only messages passing the folder's filter are reported.
    HREPLFLD folder = ToHandle(m_owner);
    HREPLITEM item = nullptr;
    BOOL exists = FALSE;
    HRESULT result = store->FindFirstItem(folder, &item, &exists);
    while (SUCCEEDED(result) && exists) {
        if (item && !Notify(RNC_MODIFIED, static_cast<CMailItem*>(FromHandle(item))))
            store->FreeObject(item);
        item = nullptr;
        exists = FALSE;
        result = store->FindNextItem(folder, &item, &exists);
    }
    store->FindItemClose(folder);
}
