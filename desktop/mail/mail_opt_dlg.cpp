#include "mail_opt_dlg.h"

#include "../resources/resource_ids.h"
#include "mail_folder.h"
#include "resource_library.h"
#include "store.h"

namespace {

// Ranges the number edits accept.
constexpr UINT kMinLines = 5, kMaxLines = 9999;
constexpr UINT kMaxDays = 999;
constexpr UINT kMinSize = 1, kMaxSize = 9999;

// Each check box of the dialog with the option bit it stands for.
struct CheckBit {
    int id;
    DWORD bit;
};
constexpr CheckBit kCheckBits[] = {
    {IDC_SYNC_MAIL, MAIL_OPT_SYNC},
    {IDC_LIMIT_LINES, MAIL_OPT_LIMIT_LINES},
    {IDC_LIMIT_DAYS, MAIL_OPT_LIMIT_DAYS},
    {IDC_ATTACHMENTS, MAIL_OPT_ATTACHMENTS},
    {IDC_LIMIT_ATTACHMENTS, MAIL_OPT_LIMIT_SIZE},
    {IDC_SEND_MAIL, MAIL_OPT_SEND},
    {IDC_NO_KEEP_SENT, MAIL_OPT_NO_KEEP_SENT},
};

// A control that follows a check box: enabled exactly while that box is checked and enabled.
struct Dependency {
    int control;
    int checkBox;
};
// In order, so that a control is settled before the controls that follow it.
constexpr Dependency kDependencies[] = {
    {IDC_MAX_LINES, IDC_LIMIT_LINES},         {IDC_DAYS, IDC_LIMIT_DAYS},
    {IDC_LIMIT_ATTACHMENTS, IDC_ATTACHMENTS}, {IDC_SIZE_LIMIT, IDC_LIMIT_ATTACHMENTS},
    {IDC_NO_KEEP_SENT, IDC_SEND_MAIL},
};

// The controls that only mean something while mail is synchronized at all.
constexpr int kSyncDependents[] = {IDC_LIMIT_LINES, IDC_LIMIT_DAYS, IDC_ATTACHMENTS};

}  // namespace

CMailOptDlg::CMailOptDlg(HWND parent, CMailFolder* folder)
    : COptDlg(parent), m_settings(folder->m_settings), m_folder(folder) {}

INT_PTR CMailOptDlg::Run() { return Show(IDD_MAIL_OPTIONS, DialogProc); }

INT_PTR CALLBACK CMailOptDlg::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        static_cast<CMailOptDlg*>(Attach(dialog, lParam))->OnInitDialog();
        return TRUE;
    }
    auto* self = static_cast<CMailOptDlg*>(FromWindow(dialog));
    if (!self || message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
        case IDC_SYNC_MAIL:
        case IDC_LIMIT_LINES:
        case IDC_LIMIT_DAYS:
        case IDC_ATTACHMENTS:
        case IDC_LIMIT_ATTACHMENTS:
        case IDC_SEND_MAIL:
            if (HIWORD(wParam) == BN_CLICKED) self->ApplyEnabling();
            return TRUE;
        case IDOK:
            if (self->TakeEntries()) EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
    }
    return FALSE;
}

void CMailOptDlg::OnInitDialog() {
    CStore* store = m_folder->m_store;
    InitHeading(store ? store->m_clientInfo.m_mailIconLarge : nullptr);
    SetDlgItemInt(m_dialog, IDC_MAX_LINES, m_settings.maxLines, FALSE);
    SetDlgItemInt(m_dialog, IDC_DAYS, m_settings.days, FALSE);
    SetDlgItemInt(m_dialog, IDC_SIZE_LIMIT, m_settings.sizeLimit, FALSE);
    for (const CheckBit& check : kCheckBits)
        CheckDlgButton(m_dialog, check.id,
                       (m_settings.options & check.bit) ? BST_CHECKED : BST_UNCHECKED);
    ApplyEnabling();
}

bool CMailOptDlg::Checked(int id) const { return IsDlgButtonChecked(m_dialog, id) == BST_CHECKED; }

void CMailOptDlg::ApplyEnabling() {
    // Every rule is applied on every click, so that no control stays usable below a box that
    // was switched off further up.
    BOOL sync = Checked(IDC_SYNC_MAIL) ? TRUE : FALSE;
    for (int id : kSyncDependents) EnableWindow(GetDlgItem(m_dialog, id), sync);
    for (const Dependency& rule : kDependencies) {
        HWND box = GetDlgItem(m_dialog, rule.checkBox);
        BOOL enable = Checked(rule.checkBox) && IsWindowEnabled(box) ? TRUE : FALSE;
        EnableWindow(GetDlgItem(m_dialog, rule.control), enable);
    }
}

BOOL CMailOptDlg::TakeEntries() {
    MailSettings entered = m_settings;
    entered.options = 0;
    // Reads a number edit; FALSE, after the message, when it holds no number in [low, high].
    auto number = [this](int id, UINT low, UINT high, UINT messageId, DWORD* value) {
        BOOL translated = FALSE;
        UINT entry = GetDlgItemInt(m_dialog, id, &translated, FALSE);
        if (!translated || entry < low || entry > high) {
            ResourceMessageBox(m_dialog, MAKEINTRESOURCEA(messageId), PROVIDER_CAPTION,
                               PROVIDER_ERROR_STYLE);
            return false;
        }
        *value = entry;
        return true;
    };
    if (Checked(IDC_SYNC_MAIL)) {
        entered.options |= MAIL_OPT_SYNC;
        if (Checked(IDC_LIMIT_LINES)) {
            if (!number(IDC_MAX_LINES, kMinLines, kMaxLines, IDS_BAD_MAX_LINES, &entered.maxLines))
                return FALSE;
            entered.options |= MAIL_OPT_LIMIT_LINES;
        }
        if (Checked(IDC_LIMIT_DAYS)) {
            if (!number(IDC_DAYS, 0, kMaxDays, IDS_BAD_DAYS, &entered.days)) return FALSE;
            entered.options |= MAIL_OPT_LIMIT_DAYS;
        }
        if (Checked(IDC_ATTACHMENTS)) {
            entered.options |= MAIL_OPT_ATTACHMENTS;
            if (Checked(IDC_LIMIT_ATTACHMENTS)) {
                if (!number(IDC_SIZE_LIMIT, kMinSize, kMaxSize, IDS_BAD_SIZE_LIMIT,
                            &entered.sizeLimit))
                    return FALSE;
                entered.options |= MAIL_OPT_LIMIT_SIZE;
            }
        }
    }
    if (Checked(IDC_SEND_MAIL)) {
        entered.options |= MAIL_OPT_SEND;
        if (Checked(IDC_NO_KEEP_SENT)) entered.options |= MAIL_OPT_NO_KEEP_SENT;
    }
    m_settings = entered;
    return TRUE;
}
