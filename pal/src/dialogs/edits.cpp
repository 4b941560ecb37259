// "Edit": single-line text boxes that tell their parent of every change of text.
#include "managed_windows.h"

namespace pal::dialogs {

Edit::Edit(const CREATESTRUCTW& create) { client = ControlClientSize(create); }

LRESULT Edit::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = ManagedWindow::Handle(window, message, wParam, lParam);
    // Setting the text of a single-line edit notifies EN_CHANGE, as typing does.
    if (message == WM_SETTEXT && result && !(GetWindowLongW(window, GWL_STYLE) & ES_MULTILINE)) {
        if (HWND parent = GetParent(window))
            SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), EN_CHANGE),
                         reinterpret_cast<LPARAM>(window));
    }
    return result;
}

}  // namespace pal::dialogs
