#include "managed_windows.h"

#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/window_manager.h"

namespace pal::dialogs {

namespace {

int Scale(int units, int base, int divisor) {
    // Rounded to the nearest pixel, halves away from zero.
    long long scaled = static_cast<long long>(units) * base;
    return static_cast<int>(scaled >= 0 ? (scaled + divisor / 2) / divisor
                                        : -((-scaled + divisor / 2) / divisor));
}

void RegisterClassOf(Machine& machine, const char16_t* name, WNDPROC proc, int extra) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = proc;
    windowClass.cbWndExtra = extra;
    windowClass.lpszClassName = name;
    RegisterSystemClass(machine, windowClass);
}

}  // namespace

int DialogUnitsToPixelsX(int units) { return Scale(units, kBaseUnitX, 4); }

int DialogUnitsToPixelsY(int units) { return Scale(units, kBaseUnitY, 8); }

LRESULT ManagedWindow::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETFONT:
            font = reinterpret_cast<HFONT>(wParam);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(font);
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

SIZE ControlClientSize(const CREATESTRUCTW& create) {
    int edge = 0;
    if (create.style & WS_BORDER) edge += 1;
    if (create.dwExStyle & WS_EX_CLIENTEDGE) edge += 2;
    if (create.dwExStyle & WS_EX_STATICEDGE) edge += 1;
    SIZE size{create.cx - 2 * edge, create.cy - 2 * edge};
    if (size.cx < 0) size.cx = 0;
    if (size.cy < 0) size.cy = 0;
    return size;
}

DialogWindows::DialogWindows(Machine& machine) {
    RegisterClassOf(machine, u"#32770", ManagedProc<DialogWindow>, DLGWINDOWEXTRA);
    RegisterClassOf(machine, u"Button", ManagedProc<Button>, 0);
    RegisterClassOf(machine, u"Edit", ManagedProc<Edit>, 0);
    RegisterClassOf(machine, u"Static", ManagedProc<Static>, 0);
    RegisterClassOf(machine, u"SysListView32", ManagedProc<ListView>, 0);
}

void DialogWindows::Add(HWND window, std::shared_ptr<ManagedWindow> state) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_windows[window] = std::move(state);
}

void DialogWindows::Remove(HWND window) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_windows.erase(window);
}

std::shared_ptr<ManagedWindow> DialogWindows::Find(HWND window) const {
    std::lock_guard<std::mutex> guard(m_lock);
    auto found = m_windows.find(window);
    return found == m_windows.end() ? nullptr : found->second;
}

DialogWindows& Managed() { return CurrentMachine().Get<DialogWindows>(); }

}  // namespace pal::dialogs
