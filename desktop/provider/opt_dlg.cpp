#include "opt_dlg.h"

#include "../resources/resource_ids.h"
#include "resource_library.h"

namespace {

constexpr LONG kBoldWeight = 700;

}  // namespace

COptDlg::~COptDlg() {
    // The heading's window went with the dialog; the font is ours.
    if (m_boldFont) DeleteObject(m_boldFont);
}

INT_PTR COptDlg::Show(UINT templateId, DLGPROC procedure) {
    HMODULE library = ResourceLibrary();
    if (!library) return -1;
    // Modal: returns once the procedure ended the dialog and its window is gone.
    INT_PTR result = DialogBoxParamA(library, MAKEINTRESOURCEA(templateId), m_parent, procedure,
                                     reinterpret_cast<LPARAM>(this));
    m_dialog = nullptr;
    return result;
}

COptDlg* COptDlg::Attach(HWND dialog, LPARAM self) {
    auto* options = reinterpret_cast<COptDlg*>(self);
    options->m_dialog = dialog;
    // The dialog's user slot leads later messages back to the object.
    SetWindowLongPtrA(dialog, DWLP_USER, self);
    return options;
}

COptDlg* COptDlg::FromWindow(HWND dialog) {
    return reinterpret_cast<COptDlg*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void COptDlg::InitHeading(HICON icon) {
    // The font the template gave the heading.
    auto font = reinterpret_cast<HFONT>(
        SendDlgItemMessageA(m_dialog, IDC_OPTIONS_HEADING, WM_GETFONT, 0, 0));
    LOGFONTA logical = {};
    if (font && GetObjectA(font, sizeof logical, &logical) == sizeof logical) {
        logical.lfWeight = kBoldWeight;
        if (m_boldFont) DeleteObject(m_boldFont);
        m_boldFont = CreateFontIndirectA(&logical);
        if (m_boldFont)
            SendDlgItemMessageA(m_dialog, IDC_OPTIONS_HEADING, WM_SETFONT,
                                reinterpret_cast<WPARAM>(m_boldFont), FALSE);
    }
    SendDlgItemMessageA(m_dialog, IDC_OPTIONS_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}
