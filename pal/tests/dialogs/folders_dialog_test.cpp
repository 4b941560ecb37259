// A dialog with a pair of radio buttons and a check-box list view (columns, a small-image list,
// lines with images, item data and check states), run through the dialog driver.
#include <set>
#include <string>

#include "dialogs_fixture.h"
#include "pal/runtime/gdi_objects.h"

namespace pal::testing {
namespace {

struct Folders {
    bool all = false;
    bool outside = true;
    std::set<std::string> chosen{"Work"};
    std::set<std::string> available{"Family", "Work"};
    HIMAGELIST images = nullptr;
};

Folders* StateOf(HWND dialog) {
    return reinterpret_cast<Folders*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void InsertLine(HWND list, const std::string& text, int image, LPARAM data, bool checked) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = const_cast<LPSTR>(text.c_str());
    item.iImage = image;
    item.lParam = data;
    int at = ListView_InsertItem(list, &item);
    ListView_SetCheckState(list, at, checked);
}

INT_PTR CALLBACK FoldersProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            Folders* state = StateOf(dialog);
            HWND list = GetDlgItem(dialog, IDC_LIST);
            ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES);
            RECT client{};
            GetClientRect(list, &client);
            LVCOLUMNA column{};
            column.mask = LVCF_WIDTH;
            column.cx = client.right - GetSystemMetrics(SM_CXVSCROLL) - 1;
            ListView_InsertColumn(list, 0, &column);
            auto module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
            state->images = ImageList_LoadImageA(module, MAKEINTRESOURCEA(IDB_FOLDERS),
                                                 GetSystemMetrics(SM_CXSMICON), 0, CLR_DEFAULT,
                                                 IMAGE_BITMAP, 0);
            ListView_SetImageList(list, state->images, LVSIL_SMALL);
            char outside[64] = {};
            LoadStringA(module, IDS_OUTSIDE, outside, sizeof outside);
            InsertLine(list, outside, 0, 1, state->outside);
            for (auto& name : state->available)
                InsertLine(list, name, 1, 0, state->chosen.count(name) > 0);
            CheckRadioButton(dialog, IDC_ALL, IDC_CHOSEN, state->all ? IDC_ALL : IDC_CHOSEN);
            EnableWindow(list, !state->all);
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_ALL:
                case IDC_CHOSEN:
                    EnableWindow(GetDlgItem(dialog, IDC_LIST),
                                 IsDlgButtonChecked(dialog, IDC_CHOSEN) == BST_CHECKED);
                    return TRUE;
                case IDOK: {
                    Folders* state = StateOf(dialog);
                    HWND list = GetDlgItem(dialog, IDC_LIST);
                    state->outside = false;
                    state->chosen.clear();
                    state->all = IsDlgButtonChecked(dialog, IDC_ALL) == BST_CHECKED;
                    for (int i = 0; !state->all && i < ListView_GetItemCount(list); ++i) {
                        if (ListView_GetCheckState(list, i) != TRUE) continue;
                        char text[64] = {};
                        LVITEMA item{};
                        item.mask = LVIF_TEXT | LVIF_PARAM;
                        item.iItem = i;
                        item.pszText = text;
                        item.cchTextMax = sizeof text;
                        ListView_GetItem(list, &item);
                        if (item.lParam == 1)
                            state->outside = true;
                        else
                            state->chosen.insert(text);
                    }
                    EndDialog(dialog, IDOK);
                    return TRUE;
                }
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

class FoldersDialogTest : public DialogTest {
protected:
    INT_PTR Show() {
        return DialogBoxParamA(m_module, MAKEINTRESOURCEA(IDD_FOLDERS), nullptr, FoldersProc,
                               reinterpret_cast<LPARAM>(&m_folders));
    }
    Folders m_folders;
};

TEST_F(FoldersDialogTest, ListShowsColumnImagesDataAndChecks) {
    Drivers().SetDriver([&](DialogSession& dialog) {
        auto list = dialog.Control(IDC_LIST);
        ASSERT_TRUE(list);
        EXPECT_EQ(list->kind, ControlKind::ListView);
        EXPECT_EQ(list->className, u"SysListView32");
        EXPECT_TRUE(list->enabled);
        EXPECT_EQ(list->extendedStyle, DWORD(LVS_EX_CHECKBOXES));
        EXPECT_EQ(list->smallImages, m_folders.images);
        EXPECT_EQ(ImageList_GetImageCount(list->smallImages), 3);
        // 206 dialog units are 309 pixels; the border and client edge take 3 on each side.
        RECT client{};
        ASSERT_TRUE(GetClientRect(list->window, &client));
        EXPECT_EQ(client.right, 303);
        EXPECT_EQ(client.bottom, 124 - 6);
        ASSERT_EQ(list->columns.size(), 1u);
        EXPECT_EQ(list->columns[0].width, 303 - 17 - 1);
        ASSERT_EQ(list->lines.size(), 3u);
        EXPECT_EQ(list->lines[0].text, u"Entries outside folders");
        EXPECT_EQ(list->lines[0].image, 0);
        EXPECT_EQ(list->lines[0].data, 1);
        EXPECT_TRUE(list->lines[0].checked);
        EXPECT_EQ(list->lines[1].text, u"Family");
        EXPECT_EQ(list->lines[1].image, 1);
        EXPECT_EQ(list->lines[1].data, 0);
        EXPECT_FALSE(list->lines[1].checked);
        EXPECT_EQ(list->lines[1].state, INDEXTOSTATEIMAGEMASK(1));
        EXPECT_TRUE(list->lines[2].checked);
        EXPECT_EQ(dialog.Control(IDC_CHOSEN)->kind, ControlKind::RadioButton);
        EXPECT_TRUE(dialog.Control(IDC_CHOSEN)->checked);
        EXPECT_FALSE(dialog.Control(IDC_ALL)->checked);
        // The icon static of no size takes its icon's 32 x 32 pixels.
        auto icon = dialog.Control(IDC_ICON);
        EXPECT_NE(icon->icon, nullptr);
        ASSERT_TRUE(GetClientRect(icon->window, &client));
        EXPECT_EQ(client.right, 32);
        EXPECT_EQ(client.bottom, 32);
        // The dialog's client area is its template size.
        ASSERT_TRUE(GetClientRect(dialog.Window(), &client));
        EXPECT_EQ(client.right, 330);
        EXPECT_EQ(client.bottom, 260);
    });
    EXPECT_EQ(Show(), IDCANCEL);
}

TEST_F(FoldersDialogTest, RadioPairEnablesTheListAndTicksAreRead) {
    Drivers().SetDriver([&](DialogSession& dialog) {
        EXPECT_TRUE(dialog.Click(IDC_ALL));
        // Auto radio buttons of one group clear each other.
        EXPECT_TRUE(dialog.Control(IDC_ALL)->checked);
        EXPECT_FALSE(dialog.Control(IDC_CHOSEN)->checked);
        EXPECT_FALSE(dialog.Control(IDC_LIST)->enabled);
        EXPECT_FALSE(dialog.SetLineChecked(IDC_LIST, 1, true));

        EXPECT_TRUE(dialog.Click(IDC_CHOSEN));
        EXPECT_FALSE(dialog.Control(IDC_ALL)->checked);
        EXPECT_TRUE(dialog.Control(IDC_LIST)->enabled);
        EXPECT_TRUE(dialog.SetLineChecked(IDC_LIST, 1, true));
        EXPECT_TRUE(dialog.SetLineChecked(IDC_LIST, 0, false));
        EXPECT_FALSE(dialog.SetLineChecked(IDC_LIST, 3, true));
        EXPECT_TRUE(dialog.Control(IDC_LIST)->lines[1].checked);
        EXPECT_TRUE(dialog.Ok());
    });
    EXPECT_EQ(Show(), IDOK);
    EXPECT_FALSE(m_folders.all);
    EXPECT_FALSE(m_folders.outside);
    EXPECT_EQ(m_folders.chosen, (std::set<std::string>{"Family", "Work"}));
}

TEST_F(FoldersDialogTest, AllContactsIgnoresTheTicks) {
    Drivers().SetDriver([&](DialogSession& dialog) {
        EXPECT_TRUE(dialog.Click(IDC_ALL));
        EXPECT_TRUE(dialog.Ok());
    });
    EXPECT_EQ(Show(), IDOK);
    EXPECT_TRUE(m_folders.all);
    EXPECT_TRUE(m_folders.chosen.empty());
}

// The list-view messages themselves, on the dialog's list.
TEST_F(FoldersDialogTest, ListViewMessages) {
    Drivers().SetDriver([&](DialogSession& dialog) {
        HWND list = GetDlgItem(dialog.Window(), IDC_LIST);
        char16_t wide[8] = {};
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_STATE | LVIF_IMAGE;
        item.iItem = 1;
        item.pszText = wide;
        item.cchTextMax = 4;
        item.stateMask = LVIS_STATEIMAGEMASK;
        ASSERT_TRUE(ListView_GetItem(list, &item));
        EXPECT_EQ(std::u16string(wide), u"Fam");  // cut to the buffer
        EXPECT_EQ(item.state, INDEXTOSTATEIMAGEMASK(1));
        EXPECT_EQ(item.iImage, 1);
        item.iItem = 9;
        EXPECT_FALSE(ListView_GetItem(list, &item));

        char narrow[16] = {};
        ListView_GetItemText(list, 2, 0, narrow, sizeof narrow);
        EXPECT_STREQ(narrow, "Work");
        ListView_GetItemText(list, 0, 0, wide, 8);
        EXPECT_EQ(std::u16string(wide), u"Entries");
        ListView_GetItemText(list, 2, 1, narrow, sizeof narrow);
        EXPECT_STREQ(narrow, "");

        // Index -1 sets every line; the state mask limits what changes.
        ListView_SetItemState(list, -1, INDEXTOSTATEIMAGEMASK(2) | LVIS_SELECTED,
                              LVIS_STATEIMAGEMASK);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(ListView_GetCheckState(list, i), TRUE);
            EXPECT_EQ(ListView_GetItemState(list, i, 0xFFFF), INDEXTOSTATEIMAGEMASK(2));
        }
        EXPECT_FALSE(ListView_SetItemState(list, 3, 0, LVIS_SELECTED));

        // Turning check boxes off takes the state images away; on again, lines are unchecked.
        EXPECT_EQ(ListView_SetExtendedListViewStyleEx(list, LVS_EX_CHECKBOXES, 0),
                  DWORD(LVS_EX_CHECKBOXES));
        EXPECT_EQ(ListView_GetCheckState(list, 0), -1);
        ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        EXPECT_EQ(ListView_GetCheckState(list, 0), FALSE);
        EXPECT_EQ(ListView_GetExtendedListViewStyle(list),
                  DWORD(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT));

        // Insertion beyond the end appends; sub-items cannot be inserted.
        LVITEMW added{};
        added.mask = LVIF_TEXT;
        added.iItem = 100;
        added.pszText = const_cast<LPWSTR>(u"Zeta");
        EXPECT_EQ(ListView_InsertItem(list, &added), 3);
        added.iItem = 0;
        EXPECT_EQ(ListView_InsertItem(list, &added), 0);
        added.iSubItem = 1;
        EXPECT_EQ(ListView_InsertItem(list, &added), -1);
        EXPECT_EQ(ListView_GetCheckState(list, 0), FALSE);
        EXPECT_EQ(ListView_GetItemCount(list), 5);

        LVCOLUMNW second{};
        second.mask = LVCF_TEXT | LVCF_WIDTH;
        second.pszText = const_cast<LPWSTR>(u"Size");
        second.cx = 40;
        EXPECT_EQ(ListView_InsertColumn(list, 5, &second), 1);
        EXPECT_TRUE(ListView_SetColumnWidth(list, 1, 60));
        EXPECT_FALSE(ListView_SetColumnWidth(list, 2, 60));
        EXPECT_EQ(dialog.Control(IDC_LIST)->columns[1].width, 60);
        EXPECT_EQ(dialog.Control(IDC_LIST)->columns[1].text, u"Size");
        // Sized to its header, the last column also fills what the others leave.
        EXPECT_TRUE(ListView_SetColumnWidth(list, 1, LVSCW_AUTOSIZE_USEHEADER));
        EXPECT_EQ(dialog.Control(IDC_LIST)->columns[1].width, 4 * 6 + 12);
        EXPECT_TRUE(ListView_SetColumnWidth(list, 0, 100));
        EXPECT_TRUE(ListView_SetColumnWidth(list, 1, LVSCW_AUTOSIZE_USEHEADER));
        EXPECT_EQ(dialog.Control(IDC_LIST)->columns[1].width, 303 - 100);

        HIMAGELIST previous = ListView_SetImageList(list, nullptr, LVSIL_SMALL);
        EXPECT_EQ(previous, m_folders.images);
        EXPECT_TRUE(ListView_DeleteAllItems(list));
        EXPECT_EQ(ListView_GetItemCount(list), 0);
        EXPECT_TRUE(dialog.Control(IDC_LIST)->lines.empty());
    });
    EXPECT_EQ(Show(), IDCANCEL);
}

}  // namespace
}  // namespace pal::testing
