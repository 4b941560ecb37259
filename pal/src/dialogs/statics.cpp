// "Static": text, and icons set with STM_SETICON.
#include "managed_windows.h"
#include "pal/runtime/context.h"
#include "pal/runtime/gdi_objects.h"
#include "pal/runtime/process.h"

namespace pal::dialogs {

Static::Static(const CREATESTRUCTW& create) { client = ControlClientSize(create); }

LRESULT Static::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case STM_SETICON: {
            HICON previous = icon;
            icon = reinterpret_cast<HICON>(wParam);
            // An icon static of no size takes its icon's.
            auto image = CurrentProcess().Get<GdiObjectTable>().GetAs<Icon>(icon);
            if (image && client.cx == 0 && client.cy == 0)
                client = SIZE{image->width, image->height};
            return reinterpret_cast<LRESULT>(previous);
        }
        case STM_GETICON:
            return reinterpret_cast<LRESULT>(icon);
        default:
            return ManagedWindow::Handle(window, message, wParam, lParam);
    }
}

}  // namespace pal::dialogs
