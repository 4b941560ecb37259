// The contacts options dialog (template 137 of the resource library): the user chooses between
// all contacts and a set of address-book folders, on a copy of the folder's filter; the copy
// holds the result once the dialog ends with OK.
#pragma once

#include <set>
#include <string>

#include "opt_dlg.h"
#include "wab_options.h"

class CWABFolder;

class CWABOptDlg : public COptDlg {
public:
    CWABOptDlg(HWND parent, CWABFolder* folder);

    // IDOK once the choice was taken into m_filter, IDCANCEL, or -1 when it cannot be shown.
    INT_PTR Run();

    ContactFolderFilter m_filter;
    CWABFolder* m_folder;

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    // The display names of the book's folders, each once, ascending.
    std::set<std::string> BookFolders();
    void AddLine(const std::string& text, int image, LPARAM data, bool checked);
    void ApplyEnabling();
    void TakeChoice();
};
