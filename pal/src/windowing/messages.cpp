#include <chrono>

#include "pal/runtime/context.h"
#include "text_forms.h"
#include "window_state.h"

namespace pal::windowing {

namespace {

// Milliseconds of a steady clock, for MSG::time.
DWORD Tick() {
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

// Messages whose parameters point at the caller's memory for the length of the call only.
bool IsSyncOnly(UINT message) {
    return message == WM_SETTEXT || message == WM_GETTEXT || message == WM_NCCREATE ||
           message == WM_CREATE;
}

}  // namespace

MessageQueue& WindowState::QueueLocked(DWORD threadId) {
    auto& queue = m_queues[threadId];
    if (!queue) queue = std::make_unique<MessageQueue>();
    return *queue;
}

void WindowState::Notify(MessageQueue& queue) {
    queue.wake.notify_all();
    m_changed.notify_all();
}

LRESULT WindowState::Call(HWND handle, UINT message, WPARAM wParam, LPARAM lParam, bool unicode) {
    WNDPROC proc;
    bool procUnicode;
    {
        Lock lock(m_lock);
        Window* window = FindLocked(handle);
        if (!window) return 0;
        proc = window->proc;
        procUnicode = window->unicode;
    }
    return Invoke(proc, procUnicode, handle, message, wParam, lParam, unicode);
}

void WindowState::CompleteLocked(const std::shared_ptr<SentMessage>& sent, LRESULT result) {
    sent->result = result;
    sent->done = true;
    auto sender = m_queues.find(sent->senderThread);
    if (sender != m_queues.end()) Notify(*sender->second);
}

void WindowState::HandleSent(Lock& lock, MessageQueue& queue) {
    auto sent = queue.sent.front();
    queue.sent.pop_front();
    m_changed.notify_all();
    lock.unlock();
    LRESULT result = Call(sent->window, sent->message, sent->wParam, sent->lParam, sent->unicode);
    lock.lock();
    CompleteLocked(sent, result);
}

LRESULT WindowState::Send(HWND handle, UINT message, WPARAM wParam, LPARAM lParam, bool unicode) {
    DWORD self = CurrentThreadId();
    Lock lock(m_lock);
    Window* window = FindLocked(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (window->threadId == self) {
        lock.unlock();
        return Call(handle, message, wParam, lParam, unicode);
    }
    auto sent = std::make_shared<SentMessage>();
    *sent = {handle, message, wParam, lParam, unicode, self, 0, false};
    MessageQueue& target = QueueLocked(window->threadId);
    target.sent.push_back(sent);
    Notify(target);
    // While the reply is awaited, messages sent to this thread are still handled, so that two
    // threads sending to each other both progress.
    MessageQueue& own = QueueLocked(self);
    while (!sent->done) {
        if (!own.sent.empty()) {
            HandleSent(lock, own);
            continue;
        }
        own.waiting = true;
        m_changed.notify_all();
        own.wake.wait(lock);
        own.waiting = false;
    }
    return sent->result;
}

bool WindowState::Post(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD threadId = CurrentThreadId();
    Lock lock(m_lock);
    if (handle) {
        Window* window = FindLocked(handle);
        if (!window) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return false;
        }
        threadId = window->threadId;
    }
    if (IsSyncOnly(message)) {
        SetLastError(ERROR_MESSAGE_SYNC_ONLY);
        return false;
    }
    MessageQueue& queue = QueueLocked(threadId);
    queue.posted.push_back(MSG{handle, message, wParam, lParam, Tick(), {0, 0}});
    Notify(queue);
    return true;
}

bool WindowState::PostToThread(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    Lock lock(m_lock);
    auto queue = m_queues.find(threadId);
    if (queue == m_queues.end()) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return false;
    }
    if (IsSyncOnly(message)) {
        SetLastError(ERROR_MESSAGE_SYNC_ONLY);
        return false;
    }
    queue->second->posted.push_back(MSG{nullptr, message, wParam, lParam, Tick(), {0, 0}});
    Notify(*queue->second);
    return true;
}

void WindowState::PostQuit(int exitCode) {
    DWORD threadId = CurrentThreadId();
    Lock lock(m_lock);
    MessageQueue& queue = QueueLocked(threadId);
    queue.quit = true;
    queue.quitCode = exitCode;
    Notify(queue);
}

bool WindowState::PassesLocked(const MSG& message, const MessageFilter& filter) {
    if ((filter.first || filter.last) &&
        (message.message < filter.first || message.message > filter.last))
        return false;
    if (!filter.window) return true;
    if (filter.window == kThreadMessages) return message.hwnd == nullptr;
    if (message.hwnd == filter.window) return true;
    for (Window* window = FindLocked(message.hwnd); window && (window->style & WS_CHILD);
         window = FindLocked(window->parent))
        if (window->parent == filter.window) return true;
    return false;
}

WindowState::Retrieval WindowState::Retrieve(MSG& out, const MessageFilter& filter, bool remove,
                                             bool wait) {
    DWORD self = CurrentThreadId();
    Lock lock(m_lock);
    if (filter.window && filter.window != kThreadMessages && !FindLocked(filter.window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return Retrieval::BadFilter;
    }
    MessageQueue& queue = QueueLocked(self);
    for (;;) {
        if (!queue.sent.empty()) {
            HandleSent(lock, queue);
            continue;
        }
        for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
            if (!PassesLocked(*it, filter)) continue;
            out = *it;
            if (remove) {
                queue.posted.erase(it);
                m_changed.notify_all();
            }
            return out.message == WM_QUIT ? Retrieval::Quit : Retrieval::Message;
        }
        if (queue.quit) {
            out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, Tick(), {0, 0}};
            if (remove) {
                queue.quit = false;
                m_changed.notify_all();
            }
            return Retrieval::Quit;
        }
        if (!wait) return Retrieval::Nothing;
        queue.waiting = true;
        m_changed.notify_all();
        queue.wake.wait(lock);
        queue.waiting = false;
    }
}

LRESULT WindowState::Dispatch(const MSG& message, bool unicode) {
    if (!message.hwnd) return 0;
    auto window = Find(message.hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (window->threadId != CurrentThreadId()) {
        SetLastError(ERROR_WINDOW_OF_OTHER_THREAD);
        return 0;
    }
    return Call(message.hwnd, message.message, message.wParam, message.lParam, unicode);
}

QueueInfo WindowState::InfoLocked(const MessageQueue& queue) const {
    return QueueInfo{queue.posted.size() + (queue.quit ? 1 : 0), queue.sent.size(), queue.waiting};
}

std::optional<QueueInfo> WindowState::QueueState(DWORD threadId) {
    Lock lock(m_lock);
    auto queue = m_queues.find(threadId);
    if (queue == m_queues.end()) return std::nullopt;
    return InfoLocked(*queue->second);
}

bool WindowState::WaitForQueue(DWORD threadId,
                               const std::function<bool(const QueueInfo&)>& condition,
                               DWORD timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    Lock lock(m_lock);
    return m_changed.wait_until(lock, deadline, [&] {
        auto queue = m_queues.find(threadId);
        return queue != m_queues.end() && condition(InfoLocked(*queue->second));
    });
}

}  // namespace pal::windowing

using namespace pal::windowing;

namespace {

BOOL GetMessageIn(LPMSG lpMsg, HWND hWnd, UINT first, UINT last) {
    if (!lpMsg) {
        SetLastError(ERROR_NOACCESS);
        return -1;
    }
    switch (State().Retrieve(*lpMsg, {hWnd, first, last}, true, true)) {
        case WindowState::Retrieval::Message:
            return TRUE;
        case WindowState::Retrieval::BadFilter:
            return -1;
        default:
            return FALSE;
    }
}

BOOL PeekMessageIn(LPMSG lpMsg, HWND hWnd, UINT first, UINT last, UINT remove) {
    if (!lpMsg) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    auto result = State().Retrieve(*lpMsg, {hWnd, first, last}, remove & PM_REMOVE, false);
    return result == WindowState::Retrieval::Message || result == WindowState::Retrieval::Quit;
}

}  // namespace

BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return State().Post(hWnd, Msg, wParam, lParam);
}

BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return State().Post(hWnd, Msg, wParam, lParam);
}

BOOL PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return State().PostToThread(idThread, Msg, wParam, lParam);
}

BOOL PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return State().PostToThread(idThread, Msg, wParam, lParam);
}

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return State().Send(hWnd, Msg, wParam, lParam, false);
}

LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return State().Send(hWnd, Msg, wParam, lParam, true);
}

BOOL GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    return GetMessageIn(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax);
}

BOOL GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    return GetMessageIn(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax);
}

BOOL PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    return PeekMessageIn(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg);
}

BOOL PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    return PeekMessageIn(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg);
}

BOOL TranslateMessage(const MSG* lpMsg) {
    if (!lpMsg) return FALSE;
    UINT m = lpMsg->message;
    return m == WM_KEYDOWN || m == WM_KEYUP || m == WM_SYSKEYDOWN || m == WM_SYSKEYUP;
}

LRESULT DispatchMessageA(const MSG* lpMsg) { return lpMsg ? State().Dispatch(*lpMsg, false) : 0; }

LRESULT DispatchMessageW(const MSG* lpMsg) { return lpMsg ? State().Dispatch(*lpMsg, true) : 0; }

void PostQuitMessage(int nExitCode) { State().PostQuit(nExitCode); }
