#include "window_impl.h"

HWND CWindowImpl::Create(HINSTANCE instance, LPCWSTR className, LPCWSTR title, DWORD style) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    // Registered once per process; a second registration fails harmlessly.
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, className, title, style, 0, 0, 0, 0, nullptr, nullptr, instance,
                           this);
}

LRESULT CALLBACK CWindowImpl::WindowProc(HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
    auto* self = reinterpret_cast<CWindowImpl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<CWindowImpl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd.store(window);
    }
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) self->m_hWnd.store(nullptr);
    return result;
}
