// The mail options dialog (template 138 of the resource library): the user edits a copy of the
// mail folder's settings; the copy holds the result once the dialog ends with OK.
#pragma once

#include "mail_settings.h"
#include "opt_dlg.h"

class CMailFolder;

class CMailOptDlg : public COptDlg {
public:
    // A dialog over a copy of `folder`'s settings, owned by `parent`.
    CMailOptDlg(HWND parent, CMailFolder* folder);

    // Shows the dialog: IDOK once the entered values were valid and taken into m_settings,
    // IDCANCEL when the user cancelled (m_settings unchanged), -1 when it cannot be shown.
    INT_PTR Run();

    MailSettings m_settings;
    CMailFolder* m_folder;

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    // Enables each control as the check boxes it depends on say.
    void ApplyEnabling();
    // Validates the entries and builds the new settings; FALSE (after telling the user which
    // number is wrong) leaves the dialog open and m_settings unchanged.
    BOOL TakeEntries();
    bool Checked(int id) const;
};
