// Dialogs: modal dialogs from templates, the built-in controls they hold (buttons, edits,
// statics, check-box list views), the calls a dialog procedure makes, and client sizes.
//
// Nobody sits in front of an emulated machine: a modal dialog is run by the machine's dialog
// driver (pal/runtime/dialog_driver.h), which reads the controls and acts on them as a person
// would. Without a driver a dialog is cancelled at once (IDCANCEL), as if Esc were pressed.
//
// Sizes: a dialog unit is a quarter of 6 pixels across and an eighth of 13 pixels down (fixed
// base units of 6 x 13 pixels, whatever the dialog's font). A dialog's window is its client area
// (the template's size); a control's client area is its size less its edges (WS_BORDER and
// WS_EX_STATICEDGE 1 pixel, WS_EX_CLIENTEDGE 2 pixels on each side).
#pragma once

#include "pal/errors.h"
#include "pal/gdi.h"
#include "pal/types.h"
#include "pal/windowing.h"

#define ERROR_CONTROL_ID_NOT_FOUND 1421L

#define MAKEWPARAM(l, h) (static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(l, h))))
#define MAKELPARAM(l, h) (static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(l, h))))

// Messages of dialogs and controls.
#define WM_SETFONT 0x0030
#define WM_GETFONT 0x0031
#define WM_INITDIALOG 0x0110
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_CLICK 0x00F5
#define STM_SETICON 0x0170
#define STM_GETICON 0x0171

// Notification codes (high word of WM_COMMAND's wParam).
#define BN_CLICKED 0
#define EN_CHANGE 0x0300

// Button check states.
#define BST_UNCHECKED 0x0000
#define BST_CHECKED 0x0001
#define BST_INDETERMINATE 0x0002

// Button styles.
#define BS_TYPEMASK 0x0000000F

// Static styles.
#define SS_TYPEMASK 0x0000001F

// The dialog window's extra bytes: the message result, the dialog procedure, a user value.
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC (DWLP_MSGRESULT + static_cast<int>(sizeof(LRESULT)))
#define DWLP_USER (DWLP_DLGPROC + static_cast<int>(sizeof(void*)))
#define DLGWINDOWEXTRA 30

// System metrics.
#define SM_CXVSCROLL 2
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CXSMICON 49
#define SM_CYSMICON 50

using DLGPROC = INT_PTR(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);

// Shows the modal dialog of template lpTemplateName (an RT_DIALOG resource of hInstance, either
// layout), owned by hWndParent's top-level window, which stays disabled while it is open. The
// dialog (class "#32770") gets one child per template item with its id, text, style and
// WS_DISABLED, of the classes "Button", "Edit", "Static" (an SS_ICON static shows the module's
// icon its title names) and "SysListView32"; with DS_SETFONT each control and the dialog get
// WM_SETFONT with the template's font (deleted with the dialog). lpDialogFunc gets WM_INITDIALOG
// (lParam dwInitParam), then the machine's dialog driver runs the dialog until EndDialog; its
// result is returned after the dialog is destroyed. -1 with the resource calls' last error
// (ERROR_RESOURCE_NAME_NOT_FOUND, …) for a missing template, ERROR_INVALID_DATA for a malformed
// one, ERROR_INVALID_WINDOW_HANDLE for a bad owner, ERROR_CANNOT_FIND_WND_CLASS for a control of
// an unknown class. The template's menu and class are not used.
INT_PTR DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                        DLGPROC lpDialogFunc, LPARAM dwInitParam);
INT_PTR DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                        DLGPROC lpDialogFunc, LPARAM dwInitParam);
#define DialogBoxA(i, t, p, f) DialogBoxParamA(i, t, p, f, 0L)
#define DialogBoxW(i, t, p, f) DialogBoxParamW(i, t, p, f, 0L)
// Ends a modal dialog once the current message is handled: DialogBoxParam returns nResult.
// FALSE with ERROR_INVALID_WINDOW_HANDLE for a window that is not a modal dialog.
BOOL EndDialog(HWND hDlg, INT_PTR nResult);

// The child of hDlg with this id; NULL with ERROR_CONTROL_ID_NOT_FOUND (or
// ERROR_INVALID_WINDOW_HANDLE for a bad hDlg).
HWND GetDlgItem(HWND hDlg, int nIDDlgItem);
// SendMessage to the child with this id; 0 when there is none (last error as GetDlgItem).
LRESULT SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam);
LRESULT SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam);
// BM_SETCHECK with uCheck to the button; FALSE when there is no such control.
BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck);
// BM_GETCHECK of the button: BST_CHECKED, BST_UNCHECKED or BST_INDETERMINATE; 0 (with the last
// error) when there is no such control.
UINT IsDlgButtonChecked(HWND hDlg, int nIDButton);
// Checks nIDCheckButton and unchecks every other child whose id lies from nIDFirstButton to
// nIDLastButton. FALSE with ERROR_CONTROL_ID_NOT_FOUND when nIDCheckButton is not a child.
BOOL CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton);
// The control's text as a decimal number: blanks allowed around it, a '+' sign, and a '-' sign
// only when bSigned. *lpTranslated (when given) is FALSE, and the result 0, for a missing
// control, empty or non-numeric text, or a value outside INT (bSigned) or UINT.
UINT GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned);
// Sets the control's text to uValue in decimal, as a signed INT when bSigned.
BOOL SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned);
// SetWindowText / GetWindowText of the child with this id.
BOOL SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString);
BOOL SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString);
UINT GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax);
UINT GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int cchMax);

// Sets or clears WS_DISABLED; returns nonzero when the window was disabled before. A disabled
// control ignores clicks and typing. FALSE with ERROR_INVALID_WINDOW_HANDLE for a bad window.
BOOL EnableWindow(HWND hWnd, BOOL bEnable);
// TRUE while the window lacks WS_DISABLED; FALSE for a bad window.
BOOL IsWindowEnabled(HWND hWnd);
// The client area from (0, 0) in pixels (see above); an empty area for a window the dialog
// manager did not make. FALSE with ERROR_INVALID_WINDOW_HANDLE or ERROR_NOACCESS (no lpRect).
BOOL GetClientRect(HWND hWnd, LPRECT lpRect);
// Fixed metrics: SM_CXVSCROLL 17, SM_CXICON / SM_CYICON 32, SM_CXSMICON / SM_CYSMICON 16;
// 0 for every other index.
int GetSystemMetrics(int nIndex);

// List views ("SysListView32").
#define LVM_FIRST 0x1000
#define LVM_GETITEMCOUNT (LVM_FIRST + 4)
#define LVM_SETIMAGELIST (LVM_FIRST + 3)
#define LVM_GETITEMA (LVM_FIRST + 5)
#define LVM_GETITEMW (LVM_FIRST + 75)
#define LVM_INSERTITEMA (LVM_FIRST + 7)
#define LVM_INSERTITEMW (LVM_FIRST + 77)
#define LVM_DELETEALLITEMS (LVM_FIRST + 9)
#define LVM_INSERTCOLUMNA (LVM_FIRST + 27)
#define LVM_INSERTCOLUMNW (LVM_FIRST + 97)
#define LVM_SETCOLUMNWIDTH (LVM_FIRST + 30)
#define LVM_SETITEMSTATE (LVM_FIRST + 43)
#define LVM_GETITEMSTATE (LVM_FIRST + 44)
#define LVM_GETITEMTEXTA (LVM_FIRST + 45)
#define LVM_GETITEMTEXTW (LVM_FIRST + 115)
#define LVM_SETEXTENDEDLISTVIEWSTYLE (LVM_FIRST + 54)
#define LVM_GETEXTENDEDLISTVIEWSTYLE (LVM_FIRST + 55)

// Extended list-view styles (window, dialog, control and list-view styles come from velumex_rc.h).
#define LVS_EX_CHECKBOXES 0x00000004
#define LVS_EX_FULLROWSELECT 0x00000020

// Image lists of a list view.
#define LVSIL_NORMAL 0
#define LVSIL_SMALL 1
#define LVSIL_STATE 2

// LVITEM fields and states; the state image index (1 unchecked, 2 checked with
// LVS_EX_CHECKBOXES) lives in bits 12 to 15.
#define LVIF_TEXT 0x0001
#define LVIF_IMAGE 0x0002
#define LVIF_PARAM 0x0004
#define LVIF_STATE 0x0008
#define LVIS_FOCUSED 0x0001
#define LVIS_SELECTED 0x0002
#define LVIS_STATEIMAGEMASK 0xF000
#define INDEXTOSTATEIMAGEMASK(i) (static_cast<UINT>(i) << 12)

// LVCOLUMN fields.
#define LVCF_FMT 0x0001
#define LVCF_WIDTH 0x0002
#define LVCF_TEXT 0x0004
#define LVCF_SUBITEM 0x0008
#define LVCFMT_LEFT 0x0000

// Column widths that LVM_SETCOLUMNWIDTH computes: the widest line (or header) at 6 pixels a
// character plus 12, and the images' room.
#define LVSCW_AUTOSIZE (-1)
#define LVSCW_AUTOSIZE_USEHEADER (-2)

// Windows field order.
struct LVITEMA {
    UINT mask;
    int iItem;
    int iSubItem;
    UINT state;
    UINT stateMask;
    LPSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
    int iIndent;
};
struct LVITEMW {
    UINT mask;
    int iItem;
    int iSubItem;
    UINT state;
    UINT stateMask;
    LPWSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
    int iIndent;
};
struct LVCOLUMNA {
    UINT mask;
    int fmt;
    int cx;
    LPSTR pszText;
    int cchTextMax;
    int iSubItem;
};
struct LVCOLUMNW {
    UINT mask;
    int fmt;
    int cx;
    LPWSTR pszText;
    int cchTextMax;
    int iSubItem;
};

// The list-view helpers; the text forms choose A or W by their argument types.
inline DWORD ListView_SetExtendedListViewStyle(HWND hwnd, DWORD style) {
    return static_cast<DWORD>(SendMessageW(hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style));
}
inline DWORD ListView_SetExtendedListViewStyleEx(HWND hwnd, DWORD mask, DWORD style) {
    return static_cast<DWORD>(SendMessageW(hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, mask, style));
}
inline DWORD ListView_GetExtendedListViewStyle(HWND hwnd) {
    return static_cast<DWORD>(SendMessageW(hwnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
}
inline int ListView_InsertColumn(HWND hwnd, int column, const LVCOLUMNA* info) {
    return static_cast<int>(
        SendMessageA(hwnd, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(info)));
}
inline int ListView_InsertColumn(HWND hwnd, int column, const LVCOLUMNW* info) {
    return static_cast<int>(
        SendMessageW(hwnd, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(info)));
}
inline BOOL ListView_SetColumnWidth(HWND hwnd, int column, int cx) {
    return static_cast<BOOL>(SendMessageW(hwnd, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(cx, 0)));
}
inline HIMAGELIST ListView_SetImageList(HWND hwnd, HIMAGELIST list, int which) {
    return reinterpret_cast<HIMAGELIST>(
        SendMessageW(hwnd, LVM_SETIMAGELIST, which, reinterpret_cast<LPARAM>(list)));
}
inline int ListView_InsertItem(HWND hwnd, const LVITEMA* item) {
    return static_cast<int>(SendMessageA(hwnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(item)));
}
inline int ListView_InsertItem(HWND hwnd, const LVITEMW* item) {
    return static_cast<int>(SendMessageW(hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(item)));
}
inline BOOL ListView_GetItem(HWND hwnd, LVITEMA* item) {
    return static_cast<BOOL>(SendMessageA(hwnd, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(item)));
}
inline BOOL ListView_GetItem(HWND hwnd, LVITEMW* item) {
    return static_cast<BOOL>(SendMessageW(hwnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(item)));
}
inline int ListView_GetItemCount(HWND hwnd) {
    return static_cast<int>(SendMessageW(hwnd, LVM_GETITEMCOUNT, 0, 0));
}
inline BOOL ListView_DeleteAllItems(HWND hwnd) {
    return static_cast<BOOL>(SendMessageW(hwnd, LVM_DELETEALLITEMS, 0, 0));
}
// Item -1 sets the state of every item.
inline BOOL ListView_SetItemState(HWND hwnd, int item, UINT state, UINT mask) {
    LVITEMW info{};
    info.state = state;
    info.stateMask = mask;
    return static_cast<BOOL>(SendMessageW(hwnd, LVM_SETITEMSTATE,
                                          static_cast<WPARAM>(static_cast<LONG_PTR>(item)),
                                          reinterpret_cast<LPARAM>(&info)));
}
inline UINT ListView_GetItemState(HWND hwnd, int item, UINT mask) {
    return static_cast<UINT>(SendMessageW(hwnd, LVM_GETITEMSTATE, item, mask));
}
inline BOOL ListView_SetCheckState(HWND hwnd, int item, BOOL check) {
    return ListView_SetItemState(hwnd, item, INDEXTOSTATEIMAGEMASK(check ? 2 : 1),
                                 LVIS_STATEIMAGEMASK);
}
// TRUE for a checked line, FALSE for an unchecked one, -1 for a line without a check box.
inline BOOL ListView_GetCheckState(HWND hwnd, int item) {
    return static_cast<BOOL>((ListView_GetItemState(hwnd, item, LVIS_STATEIMAGEMASK) >> 12)) - 1;
}
inline void ListView_GetItemText(HWND hwnd, int item, int subItem, LPSTR text, int cchMax) {
    LVITEMA info{};
    info.iSubItem = subItem;
    info.pszText = text;
    info.cchTextMax = cchMax;
    SendMessageA(hwnd, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&info));
}
inline void ListView_GetItemText(HWND hwnd, int item, int subItem, LPWSTR text, int cchMax) {
    LVITEMW info{};
    info.iSubItem = subItem;
    info.pszText = text;
    info.cchTextMax = cchMax;
    SendMessageW(hwnd, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&info));
}

#ifdef UNICODE
using LVITEM = LVITEMW;
using LVCOLUMN = LVCOLUMNW;
#define DialogBoxParam DialogBoxParamW
#define DialogBox DialogBoxW
#define SendDlgItemMessage SendDlgItemMessageW
#define SetDlgItemText SetDlgItemTextW
#define GetDlgItemText GetDlgItemTextW
#define LVM_GETITEM LVM_GETITEMW
#define LVM_INSERTITEM LVM_INSERTITEMW
#define LVM_INSERTCOLUMN LVM_INSERTCOLUMNW
#define LVM_GETITEMTEXT LVM_GETITEMTEXTW
#else
using LVITEM = LVITEMA;
using LVCOLUMN = LVCOLUMNA;
#define DialogBoxParam DialogBoxParamA
#define DialogBox DialogBoxA
#define SendDlgItemMessage SendDlgItemMessageA
#define SetDlgItemText SetDlgItemTextA
#define GetDlgItemText GetDlgItemTextA
#define LVM_GETITEM LVM_GETITEMA
#define LVM_INSERTITEM LVM_INSERTITEMA
#define LVM_INSERTCOLUMN LVM_INSERTCOLUMNA
#define LVM_GETITEMTEXT LVM_GETITEMTEXTA
#endif
using LPLVITEMA = LVITEMA*;
using LPLVITEMW = LVITEMW*;
using LPLVCOLUMNA = LVCOLUMNA*;
using LPLVCOLUMNW = LVCOLUMNW*;
