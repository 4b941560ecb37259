#include <algorithm>
#include <atomic>

#include "pal/runtime/context.h"
#include "pal/runtime/process.h"
#include "text_forms.h"
#include "window_state.h"

namespace pal::windowing {

namespace {

// Window handles of every machine come from one sequence, so a handle is never reused in a run
// and a handle of one machine is never a window of another.
std::atomic<ULONG_PTR> g_nextHandle{0x00010010};

HWND NewHandle() { return reinterpret_cast<HWND>(g_nextHandle.fetch_add(4)); }

bool IsChild(const Window& window) { return window.style & WS_CHILD; }

}  // namespace

Window* WindowState::FindLocked(HWND handle) {
    auto it = m_windows.find(handle);
    return it == m_windows.end() ? nullptr : it->second.get();
}

std::shared_ptr<Window> WindowState::Find(HWND handle) {
    Lock lock(m_lock);
    auto it = m_windows.find(handle);
    return it == m_windows.end() ? nullptr : it->second;
}

std::vector<HWND>& WindowState::SiblingsLocked(const Window& window) {
    if (IsChild(window)) return FindLocked(window.parent)->children;
    return m_topLevel;
}

HWND WindowState::Create(const CreateParams& params) {
    DWORD threadId = CurrentThreadId();
    DWORD processId = CurrentProcess().Id();
    HWND handle = NewHandle();
    std::shared_ptr<const WindowClass> windowClass;
    {
        Lock lock(m_lock);
        windowClass = FindClassLocked(processId, params.windowClass, params.instance);
        if (!windowClass) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        bool child = params.style & WS_CHILD;
        if (child && !params.parent) {
            SetLastError(ERROR_TLW_WITH_WSCHILD);
            return nullptr;
        }
        Window* parent = params.parent ? FindLocked(params.parent) : nullptr;
        if (params.parent && !parent) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        // An owner is always a top-level window: a child named as owner stands for its root.
        while (!child && parent && IsChild(*parent)) parent = FindLocked(parent->parent);
        QueueLocked(threadId);
        auto window = std::make_shared<Window>();
        window->handle = handle;
        window->windowClass = windowClass;
        window->threadId = threadId;
        window->processId = processId;
        window->instance = params.instance;
        window->style = static_cast<LONG>(params.style);
        window->exStyle = static_cast<LONG>(params.exStyle);
        window->proc = windowClass->proc;
        window->unicode = windowClass->unicode;
        window->extra.assign(static_cast<size_t>(windowClass->windowExtra), 0);
        if (child) {
            window->parent = parent->handle;
            window->id = reinterpret_cast<LONG_PTR>(params.menu);
            parent->children.push_back(handle);
        } else {
            window->owner = parent ? parent->handle : nullptr;
            m_topLevel.insert(m_topLevel.begin(), handle);
        }
        m_windows.emplace(handle, std::move(window));
    }

    CREATESTRUCTW wide{params.param,
                       params.instance,
                       params.menu,
                       params.parent,
                       params.cy,
                       params.cx,
                       params.y,
                       params.x,
                       static_cast<LONG>(params.style),
                       static_cast<LPCWSTR>(params.callerName),
                       static_cast<LPCWSTR>(params.callerClass),
                       params.exStyle};
    CREATESTRUCTA narrow{params.param,
                         params.instance,
                         params.menu,
                         params.parent,
                         params.cy,
                         params.cx,
                         params.y,
                         params.x,
                         static_cast<LONG>(params.style),
                         static_cast<LPCSTR>(params.callerName),
                         static_cast<LPCSTR>(params.callerClass),
                         params.exStyle};
    LPARAM create =
        params.unicode ? reinterpret_cast<LPARAM>(&wide) : reinterpret_cast<LPARAM>(&narrow);
    if (!Call(handle, WM_NCCREATE, 0, create, params.unicode)) {
        if (Find(handle)) {
            Call(handle, WM_NCDESTROY, 0, 0, params.unicode);
            Unlink(handle);
        }
        return nullptr;
    }
    if (!Find(handle)) return nullptr;
    if (Call(handle, WM_CREATE, 0, create, params.unicode) == -1) {
        if (Find(handle)) DestroyTree(handle);
        return nullptr;
    }
    return Find(handle) ? handle : nullptr;
}

bool WindowState::Destroy(HWND handle) {
    {
        Lock lock(m_lock);
        Window* window = FindLocked(handle);
        if (!window) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return false;
        }
        if (window->threadId != CurrentThreadId()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        // Already on its way out (DestroyWindow from its own WM_DESTROY, or twice).
        if (window->destroying) return true;
    }
    DestroyTree(handle);
    return true;
}

void WindowState::DestroyTree(HWND handle) {
    std::vector<HWND> tree;  // the window and its descendants, parents before children
    std::vector<HWND> owned;
    {
        Lock lock(m_lock);
        std::vector<HWND> pending{handle};  // a stack: depth first, children in their order
        while (!pending.empty()) {
            Window* window = FindLocked(pending.back());
            pending.pop_back();
            window->destroying = true;
            tree.push_back(window->handle);
            pending.insert(pending.end(), window->children.rbegin(), window->children.rend());
        }
        DWORD threadId = FindLocked(handle)->threadId;
        for (HWND top : m_topLevel) {
            Window* window = FindLocked(top);
            if (window->owner != handle) continue;
            if (window->threadId == threadId && !window->destroying)
                owned.push_back(top);
            else
                window->owner = nullptr;
        }
    }
    for (HWND window : owned)
        if (Find(window)) DestroyTree(window);
    for (HWND window : tree) Send(window, WM_DESTROY, 0, 0, true);
    for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
        Send(*it, WM_NCDESTROY, 0, 0, true);
        Unlink(*it);
    }
}

void WindowState::Unlink(HWND handle) {
    Lock lock(m_lock);
    Window* window = FindLocked(handle);
    if (!window) return;
    std::erase(SiblingsLocked(*window), handle);
    if (m_foreground == handle) m_foreground = nullptr;
    auto queue = m_queues.find(window->threadId);
    if (queue != m_queues.end()) {
        std::erase_if(queue->second->posted, [&](const MSG& m) { return m.hwnd == handle; });
        m_changed.notify_all();
    }
    m_windows.erase(handle);
}

HWND WindowState::Relation(HWND handle, UINT command) {
    Lock lock(m_lock);
    Window* window = FindLocked(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    const std::vector<HWND>& siblings = SiblingsLocked(*window);
    auto self = std::find(siblings.begin(), siblings.end(), handle);
    switch (command) {
        case GW_HWNDFIRST:
            return siblings.front();
        case GW_HWNDLAST:
            return siblings.back();
        case GW_HWNDNEXT:
            return self + 1 == siblings.end() ? nullptr : *(self + 1);
        case GW_HWNDPREV:
            return self == siblings.begin() ? nullptr : *(self - 1);
        case GW_OWNER:
            return window->owner;
        case GW_CHILD:
            return window->children.empty() ? nullptr : window->children.front();
        default:
            SetLastError(ERROR_INVALID_GW_COMMAND);
            return nullptr;
    }
}

std::optional<HWND> WindowState::ParentOf(HWND handle) {
    Lock lock(m_lock);
    Window* window = FindLocked(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return std::nullopt;
    }
    return IsChild(*window) ? window->parent : window->owner;
}

bool WindowState::BringToForeground(HWND handle) {
    Lock lock(m_lock);
    Window* window = FindLocked(handle);
    if (!window || IsChild(*window)) return false;
    std::erase(m_topLevel, handle);
    m_topLevel.insert(m_topLevel.begin(), handle);
    m_foreground = handle;
    return true;
}

void WindowState::ReleaseThread(DWORD threadId) {
    for (;;) {
        HWND next = nullptr;
        {
            Lock lock(m_lock);
            for (auto& [handle, window] : m_windows)
                if (window->threadId == threadId && !window->destroying &&
                    (!next || !IsChild(*window)))
                    next = handle;
        }
        if (!next) break;
        DestroyTree(next);
    }
    Lock lock(m_lock);
    auto queue = m_queues.find(threadId);
    if (queue == m_queues.end()) return;
    for (auto& sent : queue->second->sent) CompleteLocked(sent, 0);
    m_queues.erase(queue);
    m_changed.notify_all();
}

}  // namespace pal::windowing

using namespace pal::windowing;

namespace {

HWND CreateWindowFrom(CreateParams& params, const void* className, const void* windowName) {
    if (!className) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto value = reinterpret_cast<ULONG_PTR>(className);
    if (value < 0x10000)
        params.windowClass.atom = static_cast<ATOM>(value);
    else
        params.windowClass.name = WideFromCaller(className, params.unicode);
    params.callerClass = className;
    params.callerName = windowName;
    return State().Create(params);
}

}  // namespace

HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                     int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                     HINSTANCE hInstance, LPVOID lpParam) {
    CreateParams params{{}, nullptr, nullptr, false,      dwExStyle, dwStyle,   X,
                        Y,  nWidth,  nHeight, hWndParent, hMenu,     hInstance, lpParam};
    return CreateWindowFrom(params, lpClassName, lpWindowName);
}

HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle,
                     int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                     HINSTANCE hInstance, LPVOID lpParam) {
    CreateParams params{{}, nullptr, nullptr, true,       dwExStyle, dwStyle,   X,
                        Y,  nWidth,  nHeight, hWndParent, hMenu,     hInstance, lpParam};
    return CreateWindowFrom(params, lpClassName, lpWindowName);
}

BOOL DestroyWindow(HWND hWnd) { return State().Destroy(hWnd); }

BOOL IsWindow(HWND hWnd) { return State().Find(hWnd) != nullptr; }

HWND GetParent(HWND hWnd) { return State().ParentOf(hWnd).value_or(nullptr); }

int GetDlgCtrlID(HWND hWnd) {
    auto& state = State();
    auto style = state.GetLong(hWnd, GWL_STYLE, sizeof(LONG));
    if (!style) return 0;
    if (!(*style & WS_CHILD)) return 0;
    return static_cast<int>(state.GetLong(hWnd, GWLP_ID, sizeof(LONG_PTR)).value_or(0));
}

HWND GetForegroundWindow() { return State().Foreground(); }

HWND GetWindow(HWND hWnd, UINT uCmd) { return State().Relation(hWnd, uCmd); }

DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    auto window = State().Find(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (lpdwProcessId) *lpdwProcessId = window->processId;
    return window->threadId;
}
