// The windows the dialog manager makes (dialogs and the built-in controls) with the state each
// keeps, found by handle on the machine. Their classes are system classes of the machine,
// registered the first time it needs them.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "pal/dialogs.h"
#include "pal/runtime/components.h"
#include "pal/runtime/dialog_driver.h"

namespace pal {
class Machine;
}

namespace pal::dialogs {

// Fixed dialog base units (pixels for 4 horizontal and 8 vertical dialog units).
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;
int DialogUnitsToPixelsX(int units);
int DialogUnitsToPixelsY(int units);

class ManagedWindow {
public:
    virtual ~ManagedWindow() = default;
    // Handles a message of the window; what it leaves goes to DefWindowProcW.
    virtual LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    SIZE client{};
    HFONT font = nullptr;
};

class DialogWindows : public Component {
public:
    // Registers the dialog class and the control classes on the machine.
    explicit DialogWindows(Machine& machine);

    void Add(HWND window, std::shared_ptr<ManagedWindow> state);
    void Remove(HWND window);
    std::shared_ptr<ManagedWindow> Find(HWND window) const;
    template <class T>
    std::shared_ptr<T> FindAs(HWND window) const {
        return std::dynamic_pointer_cast<T>(Find(window));
    }

private:
    mutable std::mutex m_lock;
    std::map<HWND, std::shared_ptr<ManagedWindow>> m_windows;
};

// The current machine's.
DialogWindows& Managed();

// A window procedure that keeps a T (made from the CREATESTRUCTW at WM_NCCREATE) for the window's
// life and hands it every message.
template <class T>
LRESULT CALLBACK ManagedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogWindows& windows = Managed();
    if (message == WM_NCCREATE)
        windows.Add(window, std::make_shared<T>(*reinterpret_cast<CREATESTRUCTW*>(lParam)));
    std::shared_ptr<ManagedWindow> state = windows.Find(window);
    LRESULT result = state ? state->Handle(window, message, wParam, lParam)
                           : DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) windows.Remove(window);
    return result;
}

// The modal dialog: its owner, the font it made, and whether and how it ended.
class DialogWindow : public ManagedWindow {
public:
    explicit DialogWindow(const CREATESTRUCTW& create);
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    HWND handle = nullptr;
    bool ended = false;
    INT_PTR result = 0;
};

class Button : public ManagedWindow {
public:
    explicit Button(const CREATESTRUCTW& create);
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    UINT check = BST_UNCHECKED;
};

class Edit : public ManagedWindow {
public:
    explicit Edit(const CREATESTRUCTW& create);
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
};

class Static : public ManagedWindow {
public:
    explicit Static(const CREATESTRUCTW& create);
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    HICON icon = nullptr;
};

struct ListViewItem {
    std::u16string text;
    int image = 0;
    LPARAM data = 0;
    UINT state = 0;
};

class ListView : public ManagedWindow {
public:
    explicit ListView(const CREATESTRUCTW& create);
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    DWORD extendedStyle = 0;
    HIMAGELIST images[3] = {};  // LVSIL_NORMAL, LVSIL_SMALL, LVSIL_STATE
    std::vector<ListViewColumn> columns;
    std::vector<ListViewItem> items;
};

// The child of `parent` with this id, or null.
HWND FindChild(HWND parent, int id);
// What Esc does in a dialog: WM_COMMAND IDCANCEL with the Cancel button (or NULL when there is
// none); false, doing nothing, when the Cancel button is disabled.
bool PressCancel(HWND dialog);

// The client size of a control created at this size with these styles, in pixels.
SIZE ControlClientSize(const CREATESTRUCTW& create);

}  // namespace pal::dialogs
