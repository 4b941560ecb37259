// The base of the two options dialogs: a modal dialog from the resource library, owned by the
// window the engine gives, with a heading in a bold variant of its own font and the icon of the
// program whose data it is about.
#pragma once

#include <windows.h>

class COptDlg {
public:
    explicit COptDlg(HWND parent) : m_parent(parent), m_dialog(nullptr), m_boldFont(nullptr) {}
    // Deletes the bold font made for the heading.
    virtual ~COptDlg();
    COptDlg(const COptDlg&) = delete;
    COptDlg& operator=(const COptDlg&) = delete;

protected:
    // Shows dialog template `templateId` of the resource library modally with `procedure`, which
    // finds this object through Attach/FromWindow. The button that ended it (IDOK, IDCANCEL), or
    // -1 when the dialog cannot be shown.
    INT_PTR Show(UINT templateId, DLGPROC procedure);
    // Called by the procedure on WM_INITDIALOG with its lParam: remembers the window and ties
    // the object to it.
    static COptDlg* Attach(HWND dialog, LPARAM self);
    // The object tied to a dialog window, or null before WM_INITDIALOG.
    static COptDlg* FromWindow(HWND dialog);
    // Shows the heading (control 1017) in weight 700 of its own font and `icon` in control 7777.
    void InitHeading(HICON icon);

    HWND m_parent;
    HWND m_dialog;
    HFONT m_boldFont;
};
