// Enabled state, client areas and the system's fixed metrics.
#include "managed_windows.h"

BOOL EnableWindow(HWND hWnd, BOOL bEnable) {
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    LONG_PTR style = GetWindowLongPtrW(hWnd, GWL_STYLE);
    bool wasDisabled = style & WS_DISABLED;
    LONG_PTR changed = bEnable ? style & ~static_cast<LONG_PTR>(WS_DISABLED) : style | WS_DISABLED;
    if (changed != style) SetWindowLongPtrW(hWnd, GWL_STYLE, changed);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hWnd) {
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return !(GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_DISABLED);
}

BOOL GetClientRect(HWND hWnd, LPRECT lpRect) {
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!lpRect) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    auto state = pal::dialogs::Managed().Find(hWnd);
    SIZE client = state ? state->client : SIZE{};
    *lpRect = RECT{0, 0, client.cx, client.cy};
    return TRUE;
}

int GetSystemMetrics(int nIndex) {
    switch (nIndex) {
        case SM_CXVSCROLL:
            return 17;
        case SM_CXICON:
        case SM_CYICON:
            return 32;
        case SM_CXSMICON:
        case SM_CYSMICON:
            return 16;
        default:
            return 0;
    }
}
