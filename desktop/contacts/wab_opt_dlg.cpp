#include "wab_opt_dlg.h"

#include "../resources/resource_ids.h"
#include "resource_library.h"
#include "store.h"
#include "wab_folder.h"

namespace {

// Item data of the list's first line, the entries that belong to no folder.
constexpr LPARAM kUnfiledLine = 1;

}  // namespace

CWABOptDlg::CWABOptDlg(HWND parent, CWABFolder* folder)
    : COptDlg(parent), m_filter(folder->m_filter), m_folder(folder) {}

INT_PTR CWABOptDlg::Run() { return Show(IDD_CONTACTS_OPTIONS, DialogProc); }

INT_PTR CALLBACK CWABOptDlg::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        static_cast<CWABOptDlg*>(Attach(dialog, lParam))->OnInitDialog();
        return TRUE;
    }
    auto* self = static_cast<CWABOptDlg*>(FromWindow(dialog));
    if (!self || message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
        case IDC_ALL_CONTACTS:
        case IDC_CHOSEN_FOLDERS:
            if (HIWORD(wParam) == BN_CLICKED) self->ApplyEnabling();
            return TRUE;
        case IDOK:
            self->TakeChoice();
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
    }
    return FALSE;
}

std::set<std::string> CWABOptDlg::BookFolders() {
    std::set<std::string> names;
    IAddrBook* book = m_folder->m_book;
    if (!book) return names;
    ULONG type = 0;
    IUnknown* root = nullptr;
    if (FAILED(book->OpenEntry(0, nullptr, nullptr, 0, &type, &root))) return names;
    IMAPITable* table = nullptr;
    if (SUCCEEDED(static_cast<IABContainer*>(root)->GetHierarchyTable(WAB_LOCAL_CONTAINERS,
                                                                      &table))) {
        SPropTagArray columns = {1, {PR_ENTRYID}};
        table->SetColumns(&columns, 0);
        for (;;) {
            LPSRowSet rows = nullptr;
            if (FAILED(table->QueryRows(1, 0, &rows)) || !rows) break;
            if (rows->cRows == 0) {
                m_folder->m_wab->FreeBuffer(rows);
                break;
            }
            const SRow& row = rows->aRow[0];
            if (row.cValues && row.lpProps[0].ulPropTag == PR_ENTRYID) {
                const SBinary& id = row.lpProps[0].Value.bin;
                ULONG folderType = 0;
                IUnknown* folder = nullptr;
                if (SUCCEEDED(book->OpenEntry(id.cb, id.lpb, nullptr, MAPI_BEST_ACCESS,
                                              &folderType, &folder))) {
                    SPropTagArray nameTag = {1, {PR_DISPLAY_NAME_A}};
                    ULONG count = 0;
                    LPSPropValue name = nullptr;
                    if (SUCCEEDED(static_cast<IMailUser*>(folder)->GetProps(&nameTag, 0, &count,
                                                                             &name)) &&
                        count == 1 && name[0].ulPropTag == PR_DISPLAY_NAME_A)
                        names.insert(name[0].Value.lpszA);
                    if (name) m_folder->m_wab->FreeBuffer(name);
                    folder->Release();
                }
            }
            m_folder->m_wab->FreeBuffer(row.lpProps);
            m_folder->m_wab->FreeBuffer(rows);
        }
        table->Release();
    }
    root->Release();
    return names;
}

void CWABOptDlg::AddLine(const std::string& text, int image, LPARAM data, bool checked) {
    HWND list = GetDlgItem(m_dialog, IDC_FOLDER_LIST);
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = const_cast<LPSTR>(text.c_str());
    item.iImage = image;
    item.lParam = data;
    int at = ListView_InsertItem(list, &item);
    if (at >= 0) ListView_SetCheckState(list, at, checked ? TRUE : FALSE);
}

void CWABOptDlg::OnInitDialog() {
    CStore* store = m_folder->m_store;
    InitHeading(store ? store->m_clientInfo.m_wabIconLarge : nullptr);
    HWND list = GetDlgItem(m_dialog, IDC_FOLDER_LIST);
    ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES);
    RECT client = {};
    GetClientRect(list, &client);
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH;
    column.cx = client.right - client.left - GetSystemMetrics(SM_CXVSCROLL) - 1;
    ListView_InsertColumn(list, 0, &column);
    HIMAGELIST images = ImageList_LoadImageA(ProviderModule(), MAKEINTRESOURCEA(IDB_CONTACT_IMAGES),
                                             GetSystemMetrics(SM_CXSMICON), 0, CLR_DEFAULT,
                                             IMAGE_BITMAP, 0);
    if (images) ListView_SetImageList(list, images, LVSIL_SMALL);

    char unfiled[MAX_PATH + 1] = {};
    LoadResourceText(IDS_OUTSIDE_FOLDERS, unfiled, MAX_PATH + 1);
    AddLine(unfiled, 0, kUnfiledLine, m_filter.unfiled != 0);
    for (const std::string& name : BookFolders())
        AddLine(name, 1, 0, m_filter.folders.count(name) != 0);
    CheckRadioButton(m_dialog, IDC_ALL_CONTACTS, IDC_CHOSEN_FOLDERS,
                     m_filter.allFolders ? IDC_ALL_CONTACTS : IDC_CHOSEN_FOLDERS);
    ApplyEnabling();
}

void CWABOptDlg::ApplyEnabling() {
    BOOL chosen = IsDlgButtonChecked(m_dialog, IDC_CHOSEN_FOLDERS) == BST_CHECKED;
    EnableWindow(GetDlgItem(m_dialog, IDC_FOLDER_LIST), chosen);
}

void CWABOptDlg::TakeChoice() {
    m_filter.unfiled = 0;
    if (IsDlgButtonChecked(m_dialog, IDC_ALL_CONTACTS) == BST_CHECKED) {
        m_filter.allFolders = 1;
        m_filter.folders.clear();
        return;
    }
    m_filter.allFolders = 0;
    m_filter.folders.clear();
    HWND list = GetDlgItem(m_dialog, IDC_FOLDER_LIST);
    int count = ListView_GetItemCount(list);
    for (int i = 0; i < count; ++i) {
        if (!ListView_GetCheckState(list, i)) continue;
        char text[MAX_PATH + 1] = {};
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = i;
        item.pszText = text;
        item.cchTextMax = MAX_PATH + 1;
        if (!ListView_GetItem(list, &item)) continue;
        if (item.lParam == kUnfiledLine)
            m_filter.unfiled = 1;
        else if (text[0])
            m_filter.folders.insert(text);
    }
}
