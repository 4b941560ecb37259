// Modal dialogs: building the dialog and its controls from a template, the dialog window's
// procedure around the dialog procedure, running the dialog through the driver, EndDialog.
#include <optional>

#include "managed_windows.h"
#include "pal/resources.h"
#include "pal/runtime/context.h"
#include "pal/runtime/dialog_driver.h"
#include "pal/runtime/dialog_template.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"

namespace pal::dialogs {

namespace {

// The class a template item names: the predefined ordinals and the standard names in their
// registered spelling (resource compilers store names in upper case), other names as they are.
std::u16string ControlClass(const ResourceId& windowClass) {
    static const struct {
        WORD ordinal;
        const char16_t* name;
    } kStandard[] = {{kDialogClassButton, u"Button"},
                     {kDialogClassEdit, u"Edit"},
                     {kDialogClassStatic, u"Static"},
                     {kDialogClassListBox, u"ListBox"},
                     {kDialogClassScrollBar, u"ScrollBar"},
                     {kDialogClassComboBox, u"ComboBox"},
                     {0, u"SysListView32"}};
    for (auto& standard : kStandard) {
        if (windowClass.IsOrdinal() ? windowClass.Ordinal() == standard.ordinal
                                    : EqualsNoCase(windowClass.Text(), standard.name))
            return standard.name;
    }
    return windowClass.IsOrdinal() ? u"" : windowClass.Text();
}

// The template's font at 96 pixels per inch.
HFONT CreateTemplateFont(const DialogFont& font) {
    LOGFONTW logical{};
    logical.lfHeight = -((font.pointSize * 96 + 36) / 72);
    logical.lfWeight = font.weight ? font.weight : FW_NORMAL;
    logical.lfItalic = font.italic;
    logical.lfCharSet = font.charset;
    font.face.copy(logical.lfFaceName, LF_FACESIZE - 1);
    return CreateFontIndirectW(&logical);
}

HWND TopLevelOf(HWND window) {
    while (window && (GetWindowLongW(window, GWL_STYLE) & WS_CHILD)) window = GetParent(window);
    return window;
}

// The control that gets the focus first: the first enabled one with WS_TABSTOP.
HWND FirstTabStop(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        LONG style = GetWindowLongW(child, GWL_STYLE);
        if ((style & WS_TABSTOP) && !(style & WS_DISABLED)) return child;
    }
    return nullptr;
}

// The dialog window and font while DialogBoxParam runs; destroyed however it leaves.
class OpenDialog {
public:
    ~OpenDialog() {
        DWORD error = GetLastError();
        if (m_ownerDisabled) EnableWindow(m_owner, TRUE);
        if (m_window && IsWindow(m_window)) DestroyWindow(m_window);
        if (m_font) DeleteObject(m_font);
        SetLastError(error);
    }
    void DisableOwner(HWND owner) {
        m_owner = owner;
        m_ownerDisabled = owner && !EnableWindow(owner, FALSE);
    }

    HWND m_window = nullptr;
    HFONT m_font = nullptr;

private:
    HWND m_owner = nullptr;
    bool m_ownerDisabled = false;
};

bool CreateControls(const DialogTemplate& dialog, HWND window, HINSTANCE instance, HFONT font) {
    for (const DialogItem& item : dialog.items) {
        std::u16string windowClass = ControlClass(item.windowClass);
        HWND control = CreateWindowExW(
            item.exStyle, windowClass.c_str(),
            item.title.IsOrdinal() ? nullptr : item.title.Text().c_str(), item.style | WS_CHILD,
            DialogUnitsToPixelsX(item.x), DialogUnitsToPixelsY(item.y),
            DialogUnitsToPixelsX(item.cx), DialogUnitsToPixelsY(item.cy), window,
            reinterpret_cast<HMENU>(static_cast<ULONG_PTR>(item.id)), instance, nullptr);
        if (!control) return false;
        if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        // An icon static shows the module's icon that its title names.
        if ((item.style & SS_TYPEMASK) == SS_ICON && Managed().FindAs<Static>(control)) {
            HICON icon =
                LoadIconW(instance, item.title.IsOrdinal() ? MAKEINTRESOURCEW(item.title.Ordinal())
                                                           : item.title.Text().c_str());
            if (icon) SendMessageW(control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        }
    }
    return true;
}

void Drive(const std::shared_ptr<DialogWindow>& dialog, const ResourceId& name) {
    DialogSession session(dialog, name);
    if (session.Ended()) return;
    if (DialogDriver driver = CurrentMachine().Get<DialogDrivers>().Next()) driver(session);
    if (!session.Ended()) session.Cancel();
    if (!session.Ended()) {
        dialog->ended = true;
        dialog->result = IDCANCEL;
    }
}

INT_PTR Run(HINSTANCE instance, HRSRC resource, const ResourceId& name, HWND parent, DLGPROC proc,
            LPARAM param) {
    if (!resource) return -1;
    HGLOBAL loaded = LoadResource(instance, resource);
    if (!loaded) return -1;
    std::optional<DialogTemplate> dialog;
    try {
        dialog = ParseDialogTemplate(
            {static_cast<const BYTE*>(LockResource(loaded)), SizeofResource(instance, resource)});
    } catch (const ResourceFormatError&) {
        SetLastError(ERROR_INVALID_DATA);
        return -1;
    }
    if (parent && !IsWindow(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    DialogWindows& windows = Managed();
    HWND owner = TopLevelOf(parent);

    OpenDialog open;
    open.m_window =
        CreateWindowExW(dialog->exStyle, u"#32770", dialog->title.c_str(),
                        (dialog->style | WS_VISIBLE) & ~WS_CHILD, DialogUnitsToPixelsX(dialog->x),
                        DialogUnitsToPixelsY(dialog->y), DialogUnitsToPixelsX(dialog->cx),
                        DialogUnitsToPixelsY(dialog->cy), owner, nullptr, instance, nullptr);
    if (!open.m_window) return -1;
    auto state = windows.FindAs<DialogWindow>(open.m_window);
    state->handle = open.m_window;
    SetWindowLongPtrW(open.m_window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    if (dialog->font && (dialog->style & DS_SETFONT))
        open.m_font = CreateTemplateFont(*dialog->font);
    if (!CreateControls(*dialog, open.m_window, instance, open.m_font)) return -1;
    if (open.m_font)
        SendMessageW(open.m_window, WM_SETFONT, reinterpret_cast<WPARAM>(open.m_font), FALSE);

    open.DisableOwner(owner);
    SendMessageW(open.m_window, WM_INITDIALOG,
                 reinterpret_cast<WPARAM>(FirstTabStop(open.m_window)), param);
    Drive(state, name);
    return state->result;
}

}  // namespace

HWND FindChild(HWND parent, int id) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetDlgCtrlID(child) == id) return child;
    return nullptr;
}

bool PressCancel(HWND dialog) {
    HWND cancel = FindChild(dialog, IDCANCEL);
    if (cancel && !IsWindowEnabled(cancel)) return false;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(cancel));
    return true;
}

DialogWindow::DialogWindow(const CREATESTRUCTW& create) { client = SIZE{create.cx, create.cy}; }

LRESULT DialogWindow::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(window, DWLP_DLGPROC))) {
        // A handled message answers DWLP_MSGRESULT; WM_INITDIALOG answers the procedure's result.
        if (INT_PTR handled = proc(window, message, wParam, lParam))
            return message == WM_INITDIALOG ? handled : GetWindowLongPtrW(window, DWLP_MSGRESULT);
    }
    if (message == WM_CLOSE) {
        PressCancel(window);
        return 0;
    }
    return ManagedWindow::Handle(window, message, wParam, lParam);
}

}  // namespace pal::dialogs

INT_PTR DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                        DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    return pal::dialogs::Run(
        hInstance, FindResourceA(hInstance, lpTemplateName, MAKEINTRESOURCEA(5)),
        pal::ResourceId::FromArgument(lpTemplateName), hWndParent, lpDialogFunc, dwInitParam);
}

INT_PTR DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                        DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    return pal::dialogs::Run(
        hInstance, FindResourceW(hInstance, lpTemplateName, MAKEINTRESOURCEW(5)),
        pal::ResourceId::FromArgument(lpTemplateName), hWndParent, lpDialogFunc, dwInitParam);
}

BOOL EndDialog(HWND hDlg, INT_PTR nResult) {
    auto dialog = pal::dialogs::Managed().FindAs<pal::dialogs::DialogWindow>(hDlg);
    if (!dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    dialog->ended = true;
    dialog->result = nResult;
    return TRUE;
}
