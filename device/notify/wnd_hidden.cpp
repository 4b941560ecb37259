#include "wnd_hidden.h"

#include "journal.h"

namespace {

constexpr WCHAR kWindowClass[] = W("KTNotifHiddenWindow");
constexpr WCHAR kWindowTitle[] = W("_notif_KT");
constexpr WCHAR kShellReadyEvent[] = W("SYSTEM/ShellAPIReady");

bool IsSet(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

}  // namespace

CWndHidden::CWndHidden() = default;

CWndHidden::~CWndHidden() {
    FreeSpecialFolders();
    if (m_store) m_store->Release();
    m_store = nullptr;
    EndMail();
    m_contactsWatch.Stop();
    m_contactsJournal.Close();
    m_mailJournal.Close();
}

bool CWndHidden::StartThread() {
    if (m_thread) {
        // A service thread that has not ended is this service running: no second one.
        if (WaitForSingleObject(m_thread, 0) != WAIT_OBJECT_0) return false;
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
    if (m_stop) CloseHandle(m_stop);
    m_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_stop) return false;
    m_thread = CreateThread(nullptr, 0, ServiceThread, this, 0, nullptr);
    if (!m_thread) {
        CloseHandle(m_stop);
        m_stop = nullptr;
        return false;
    }
    return true;
}

void CWndHidden::StopThread() {
    if (!m_thread) return;
    // A thread still waiting for the shell gives up; one that made its window closes it. The
    // window belongs to the service thread, so it is asked to close rather than destroyed here.
    SetEvent(m_stop);
    if (HWND window = Window()) PostMessageW(window, WM_CLOSE, 0, 0);
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    m_thread = nullptr;
    CloseHandle(m_stop);
    m_stop = nullptr;
}

DWORD WINAPI CWndHidden::ServiceThread(LPVOID parameter) {
    auto* self = static_cast<CWndHidden*>(parameter);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    bool stopped = false;
    if (HANDLE shell = OpenEventW(EVENT_ALL_ACCESS, FALSE, kShellReadyEvent)) {
        HANDLE waits[2] = {shell, self->m_stop};
        stopped = WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0;
        CloseHandle(shell);
    }
    if (!stopped && !IsSet(self->m_stop)) {
        HWND window = self->Create(NotifyModule(), kWindowClass, kWindowTitle, WS_POPUP);
        if (window) {
            // A stop requested while the window was being made finds no window to close.
            if (IsSet(self->m_stop)) DestroyWindow(window);
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }
    CoUninitialize();
    return 0;
}

LRESULT CWndHidden::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return StartUp();
    case WM_DESTROY:
        ShutDown();
        return 0;
    case WM_DBNOTIFICATION:
    case PIM_ITEM_CREATED_REMOTE:
    case PIM_ITEM_DELETED_REMOTE:
    case PIM_ITEM_CHANGED_REMOTE:
        return ContactChange(message, wParam, lParam);
    default:
        return DefWindowProcW(Window(), message, wParam, lParam);
    }
}

LRESULT CWndHidden::StartUp() {
    if (FAILED(m_volume.Mount(KESTRIN_VOLUME_PATH, OPEN_ALWAYS))) return -1;
    PrepareContactsJournal();
    if (!m_contactsJournal.IsOpen()) return -1;
    m_contactsLock = CreateMutexW(nullptr, FALSE, CONTACTS_LOCK_NAME);
    m_mailLock = CreateMutexW(nullptr, FALSE, MAIL_LOCK_NAME);
    m_contactsWatch.Start(Window());

    LRESULT result = 0;
    if (SUCCEEDED(MAPIInitialize(nullptr))) {
        m_mapiInitialized = 1;
        if (SUCCEEDED(MAPILogonEx(0, nullptr, nullptr, 0, &m_session)) && OpenAccountStore()) {
            PrepareMailJournal();
            if (!m_mailJournal.IsOpen()) {
                m_store->Release();
                m_store = nullptr;
                result = -1;
            } else {
                m_adviseSink.Attach(this);
                ULONG eventMask = fnevObjectCreated | fnevObjectDeleted | fnevObjectModified |
                                  fnevObjectMoved | fnevObjectCopied;
                if (FAILED(m_store->Advise(0, nullptr, eventMask, &m_adviseSink,
                                           &m_adviseConnection)))
                    m_adviseConnection = 0;
            }
        }
    }
    CeFlushDBVol(m_volume.Guid());
    return result;
}

void CWndHidden::ShutDown() {
    if (m_store) {
        // No notification reaches the service once the sink is detached.
        if (m_adviseConnection) m_store->Unadvise(m_adviseConnection);
        m_adviseSink.Attach(nullptr);
        m_adviseConnection = 0;
        m_store->Release();
        m_store = nullptr;
    }
    EndMail();
    m_contactsWatch.Stop();
    m_contactsJournal.Close();
    m_mailJournal.Close();
    if (CCeDBVolume::IsRealVolume(m_volume.Guid())) m_volume.Unmount();
    if (m_mailLock) CloseHandle(m_mailLock);
    m_mailLock = nullptr;
    if (m_contactsLock) CloseHandle(m_contactsLock);
    m_contactsLock = nullptr;
    PostQuitMessage(0);
}

void CWndHidden::EndMail() {
    if (m_session) {
        m_session->Logoff(0, 0, 0);
        m_session->Release();
        m_session = nullptr;
    }
    if (m_mapiInitialized) MAPIUninitialize();
    m_mapiInitialized = 0;
    // The next start reads the special folders afresh.
    FreeSpecialFolders();
}

void CWndHidden::FreeSpecialFolders() {
    for (auto& folder : m_specialFolders) {
        if (folder.lpb) MAPIFreeBuffer(folder.lpb);
        folder = SBinary{};
    }
}
