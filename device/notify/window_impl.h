// A window implementation: owns the window handle and routes the window procedure to the
// object's message handler.
#pragma once

#include <windows.h>

#include <atomic>

class CWindowImpl {
public:
    CWindowImpl() = default;
    virtual ~CWindowImpl() = default;
    CWindowImpl(const CWindowImpl&) = delete;
    CWindowImpl& operator=(const CWindowImpl&) = delete;

    // Creates the window of the class `className` (registered on first use for `instance`) with
    // this object as its handler; the handle, or NULL when creation failed.
    HWND Create(HINSTANCE instance, LPCWSTR className, LPCWSTR title, DWORD style);

    // The window, or NULL before creation and after destruction. Read from any thread.
    HWND Window() const { return m_hWnd.load(); }

protected:
    // Handles one message of the window; unhandled messages go to DefWindowProc.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::atomic<HWND> m_hWnd{nullptr};
};
