// "Button": push buttons, check boxes (auto and not, two and three states), radio buttons (auto
// ones clear the other auto radio buttons of their group) and group boxes.
#include <vector>

#include "managed_windows.h"

namespace pal::dialogs {

namespace {

UINT TypeOf(HWND window) {
    return static_cast<UINT>(GetWindowLongW(window, GWL_STYLE)) & BS_TYPEMASK;
}

bool IsThreeState(UINT type) { return type == BS_3STATE || type == BS_AUTO3STATE; }

bool IsCheckable(UINT type) {
    switch (type) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
        case BS_3STATE:
        case BS_AUTO3STATE:
            return true;
        default:
            return false;
    }
}

// A group runs from a sibling with WS_GROUP (or the first) up to the next sibling with WS_GROUP.
void UncheckGroup(HWND button) {
    std::vector<HWND> siblings;
    for (HWND child = GetWindow(GetParent(button), GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT))
        siblings.push_back(child);
    size_t self = 0;
    while (siblings[self] != button) ++self;
    auto grouped = [&](size_t i) { return GetWindowLongW(siblings[i], GWL_STYLE) & WS_GROUP; };
    size_t first = self;
    while (first > 0 && !grouped(first)) --first;
    size_t end = self + 1;
    while (end < siblings.size() && !grouped(end)) ++end;
    for (size_t i = first; i < end; ++i) {
        if (i == self || !Managed().FindAs<Button>(siblings[i])) continue;
        if (TypeOf(siblings[i]) == BS_AUTORADIOBUTTON)
            SendMessageW(siblings[i], BM_SETCHECK, BST_UNCHECKED, 0);
    }
}

}  // namespace

Button::Button(const CREATESTRUCTW& create) { client = ControlClientSize(create); }

LRESULT Button::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    UINT type = TypeOf(window);
    switch (message) {
        case BM_GETCHECK:
            return IsCheckable(type) ? check : BST_UNCHECKED;
        case BM_SETCHECK:
            if (IsCheckable(type)) {
                if (IsThreeState(type))
                    check = wParam <= BST_INDETERMINATE ? static_cast<UINT>(wParam) : BST_CHECKED;
                else
                    check = wParam ? BST_CHECKED : BST_UNCHECKED;
            }
            return 0;
        case BM_CLICK: {
            if ((GetWindowLongW(window, GWL_STYLE) & WS_DISABLED) || type == BS_GROUPBOX) return 0;
            if (type == BS_AUTOCHECKBOX) check = check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
            if (type == BS_AUTO3STATE) check = (check + 1) % 3;
            if (type == BS_AUTORADIOBUTTON) {
                check = BST_CHECKED;
                UncheckGroup(window);
            }
            if (HWND parent = GetParent(window))
                SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), BN_CLICKED),
                             reinterpret_cast<LPARAM>(window));
            return 0;
        }
        default:
            return ManagedWindow::Handle(window, message, wParam, lParam);
    }
}

}  // namespace pal::dialogs
