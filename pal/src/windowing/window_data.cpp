#include <cstring>

#include "pal/runtime/context.h"
#include "pal/runtime/process.h"
#include "text_forms.h"
#include "window_state.h"

namespace pal::windowing {

namespace {

bool IsPointerSlot(int index) {
    return index == GWLP_WNDPROC || index == GWLP_HINSTANCE || index == GWLP_HWNDPARENT;
}

// The extra-bytes slot of `size` bytes at `index`, or null when it does not fit.
BYTE* ExtraSlot(Window& window, int index, size_t size) {
    if (index < 0 || static_cast<size_t>(index) + size > window.extra.size()) return nullptr;
    return window.extra.data() + index;
}

LONG_PTR Narrowed(LONG_PTR value, size_t size) {
    return size == sizeof(LONG) ? static_cast<LONG>(value) : value;
}

}  // namespace

std::optional<LONG_PTR> WindowState::GetLong(HWND handle, int index, size_t size) {
    Lock lock(m_lock);
    Window* window = FindLocked(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return std::nullopt;
    }
    if (size == sizeof(LONG) && IsPointerSlot(index)) {
        SetLastError(ERROR_INVALID_INDEX);
        return std::nullopt;
    }
    switch (index) {
        case GWLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(window->proc);
        case GWLP_HINSTANCE:
            return reinterpret_cast<LONG_PTR>(window->instance);
        case GWLP_HWNDPARENT:
            return reinterpret_cast<LONG_PTR>(window->owner);
        case GWLP_ID:
            return Narrowed(window->id, size);
        case GWL_STYLE:
            return window->style;
        case GWL_EXSTYLE:
            return window->exStyle;
        case GWLP_USERDATA:
            return Narrowed(window->userData, size);
        default:
            break;
    }
    BYTE* slot = ExtraSlot(*window, index, size);
    if (!slot) {
        SetLastError(ERROR_INVALID_INDEX);
        return std::nullopt;
    }
    if (size == sizeof(LONG)) {
        LONG value;
        std::memcpy(&value, slot, sizeof value);
        return value;
    }
    LONG_PTR value;
    std::memcpy(&value, slot, sizeof value);
    return value;
}

std::optional<LONG_PTR> WindowState::SetLong(HWND handle, int index, LONG_PTR value, size_t size,
                                             bool unicode) {
    DWORD processId = CurrentProcess().Id();
    Lock lock(m_lock);
    Window* window = FindLocked(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return std::nullopt;
    }
    if (size == sizeof(LONG) && IsPointerSlot(index)) {
        SetLastError(ERROR_INVALID_INDEX);
        return std::nullopt;
    }
    value = Narrowed(value, size);
    LONG_PTR previous = 0;
    switch (index) {
        case GWLP_WNDPROC:
            // Another process's procedure cannot be replaced, nor a procedure removed.
            if (window->processId != processId) {
                SetLastError(ERROR_ACCESS_DENIED);
                return std::nullopt;
            }
            if (!value) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return std::nullopt;
            }
            previous = reinterpret_cast<LONG_PTR>(window->proc);
            window->proc = reinterpret_cast<WNDPROC>(value);
            window->unicode = unicode;
            return previous;
        case GWLP_HINSTANCE:
            previous = reinterpret_cast<LONG_PTR>(window->instance);
            window->instance = reinterpret_cast<HINSTANCE>(value);
            return previous;
        case GWLP_HWNDPARENT: {
            // Only a top-level window's owner can change; a child keeps its parent.
            auto owner = reinterpret_cast<HWND>(value);
            if (window->style & WS_CHILD) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return std::nullopt;
            }
            if (owner && (!FindLocked(owner) || owner == handle)) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return std::nullopt;
            }
            previous = reinterpret_cast<LONG_PTR>(window->owner);
            window->owner = owner;
            return previous;
        }
        case GWLP_ID:
            previous = window->id;
            window->id = value;
            return Narrowed(previous, size);
        case GWL_STYLE:
            // The WS_CHILD bit stays as the window was created: it decides where the window lives.
            previous = window->style;
            window->style = static_cast<LONG>((value & ~WS_CHILD) | (window->style & WS_CHILD));
            return previous;
        case GWL_EXSTYLE:
            previous = window->exStyle;
            window->exStyle = static_cast<LONG>(value);
            return previous;
        case GWLP_USERDATA:
            previous = window->userData;
            window->userData = value;
            return Narrowed(previous, size);
        default:
            break;
    }
    BYTE* slot = ExtraSlot(*window, index, size);
    if (!slot) {
        SetLastError(ERROR_INVALID_INDEX);
        return std::nullopt;
    }
    if (size == sizeof(LONG)) {
        LONG old;
        auto narrow = static_cast<LONG>(value);
        std::memcpy(&old, slot, sizeof old);
        std::memcpy(slot, &narrow, sizeof narrow);
        return old;
    }
    std::memcpy(&previous, slot, sizeof previous);
    std::memcpy(slot, &value, sizeof value);
    return previous;
}

std::optional<std::u16string> WindowState::StoredText(HWND handle) {
    Lock lock(m_lock);
    Window* window = FindLocked(handle);
    if (!window) return std::nullopt;
    return window->text;
}

void WindowState::StoreText(HWND handle, std::u16string text) {
    Lock lock(m_lock);
    if (Window* window = FindLocked(handle)) window->text = std::move(text);
}

namespace {

LRESULT DefaultProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool unicode) {
    WindowState& state = State();
    switch (message) {
        case WM_NCCREATE: {
            if (!lParam) return TRUE;
            const void* name =
                unicode
                    ? static_cast<const void*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpszName)
                    : static_cast<const void*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpszName);
            state.StoreText(window, WideFromCaller(name, unicode));
            return TRUE;
        }
        case WM_SETTEXT:
            if (!state.Find(window)) return FALSE;
            state.StoreText(window, WideFromCaller(reinterpret_cast<const void*>(lParam), unicode));
            return TRUE;
        case WM_GETTEXT: {
            auto text = state.StoredText(window);
            if (!text) return 0;
            return static_cast<LRESULT>(
                CopyToCaller(*text, reinterpret_cast<void*>(lParam), wParam, unicode));
        }
        case WM_GETTEXTLENGTH: {
            auto text = state.StoredText(window);
            return text ? static_cast<LRESULT>(text->size()) : 0;
        }
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        default:
            return 0;
    }
}

LONG_PTR GetLongOf(HWND window, int index, size_t size) {
    return State().GetLong(window, index, size).value_or(0);
}

LONG_PTR SetLongOf(HWND window, int index, LONG_PTR value, size_t size, bool unicode) {
    return State().SetLong(window, index, value, size, unicode).value_or(0);
}

int TextOf(HWND handle, void* buffer, int capacity, bool unicode) {
    WindowState& state = State();
    auto window = state.Find(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (!buffer || capacity <= 0) return 0;
    CopyToCaller(u"", buffer, 1, unicode);
    if (window->threadId == CurrentThreadId())
        return static_cast<int>(state.Send(handle, WM_GETTEXT, static_cast<WPARAM>(capacity),
                                           reinterpret_cast<LPARAM>(buffer), unicode));
    return static_cast<int>(CopyToCaller(state.StoredText(handle).value_or(u""), buffer,
                                         static_cast<size_t>(capacity), unicode));
}

int TextLengthOf(HWND handle, bool unicode) {
    WindowState& state = State();
    auto window = state.Find(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (window->threadId == CurrentThreadId())
        return static_cast<int>(state.Send(handle, WM_GETTEXTLENGTH, 0, 0, unicode));
    return static_cast<int>(state.StoredText(handle).value_or(u"").size());
}

}  // namespace

}  // namespace pal::windowing

using namespace pal::windowing;

LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return DefaultProcedure(hWnd, Msg, wParam, lParam, false);
}

LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return DefaultProcedure(hWnd, Msg, wParam, lParam, true);
}

LONG_PTR GetWindowLongPtrA(HWND hWnd, int nIndex) {
    return GetLongOf(hWnd, nIndex, sizeof(LONG_PTR));
}

LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex) {
    return GetLongOf(hWnd, nIndex, sizeof(LONG_PTR));
}

LONG_PTR SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    return SetLongOf(hWnd, nIndex, dwNewLong, sizeof(LONG_PTR), false);
}

LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    return SetLongOf(hWnd, nIndex, dwNewLong, sizeof(LONG_PTR), true);
}

LONG GetWindowLongA(HWND hWnd, int nIndex) {
    return static_cast<LONG>(GetLongOf(hWnd, nIndex, sizeof(LONG)));
}

LONG GetWindowLongW(HWND hWnd, int nIndex) {
    return static_cast<LONG>(GetLongOf(hWnd, nIndex, sizeof(LONG)));
}

LONG SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong) {
    return static_cast<LONG>(SetLongOf(hWnd, nIndex, dwNewLong, sizeof(LONG), false));
}

LONG SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong) {
    return static_cast<LONG>(SetLongOf(hWnd, nIndex, dwNewLong, sizeof(LONG), true));
}

BOOL SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    return static_cast<BOOL>(
        State().Send(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString), false));
}

BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
    return static_cast<BOOL>(
        State().Send(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString), true));
}

int GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
    return TextOf(hWnd, lpString, nMaxCount, false);
}

int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
    return TextOf(hWnd, lpString, nMaxCount, true);
}

int GetWindowTextLengthA(HWND hWnd) { return TextLengthOf(hWnd, false); }

int GetWindowTextLengthW(HWND hWnd) { return TextLengthOf(hWnd, true); }
