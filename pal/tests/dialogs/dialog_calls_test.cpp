// The calls a dialog procedure makes on its items (numbers, texts, checks, enabling), fonts,
// metrics, and the failures of DialogBoxParam and EndDialog.
#include <algorithm>
#include <cstring>
#include <functional>

#include "dialogs_fixture.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/window_manager.h"

namespace pal::testing {
namespace {

INT_PTR CALLBACK QuietProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

class DialogCallsTest : public DialogTest {
protected:
    // Opens the limits dialog with a procedure that handles nothing and runs `body` in it.
    void InDialog(std::function<void(HWND)> body) {
        Drivers().SetDriver([&](DialogSession& dialog) { body(dialog.Window()); });
        DialogBoxParamA(m_module, MAKEINTRESOURCEA(IDD_LIMITS), nullptr, QuietProc, 0);
    }
};

TEST_F(DialogCallsTest, GetDlgItemIntReadsNumbers) {
    InDialog([](HWND dialog) {
        struct Case {
            const char* text;
            BOOL isSigned;
            BOOL translated;
            UINT value;
        } cases[] = {
            {"42", FALSE, TRUE, 42},
            {"  42  ", FALSE, TRUE, 42},
            {"+7", FALSE, TRUE, 7},
            {"-5", TRUE, TRUE, static_cast<UINT>(-5)},
            {"-5", FALSE, FALSE, 0},
            {"", FALSE, FALSE, 0},
            {"   ", TRUE, FALSE, 0},
            {"12a", FALSE, FALSE, 0},
            {"1 2", FALSE, FALSE, 0},
            {"-", TRUE, FALSE, 0},
            {"4294967295", FALSE, TRUE, 4294967295u},
            {"4294967296", FALSE, FALSE, 0},
            {"99999999999999999999", FALSE, FALSE, 0},
            {"2147483647", TRUE, TRUE, 2147483647u},
            {"2147483648", TRUE, FALSE, 0},
            {"-2147483648", TRUE, TRUE, 0x80000000u},
            {"-2147483649", TRUE, FALSE, 0},
        };
        for (const Case& c : cases) {
            ASSERT_TRUE(SetDlgItemTextA(dialog, IDC_COUNT, c.text));
            BOOL translated = 2;
            EXPECT_EQ(GetDlgItemInt(dialog, IDC_COUNT, &translated, c.isSigned), c.value) << c.text;
            EXPECT_EQ(translated, c.translated) << c.text;
        }
        // lpTranslated may be null.
        SetDlgItemTextA(dialog, IDC_COUNT, "9");
        EXPECT_EQ(GetDlgItemInt(dialog, IDC_COUNT, nullptr, FALSE), 9u);

        BOOL translated = TRUE;
        SetLastError(0);
        EXPECT_EQ(GetDlgItemInt(dialog, 4242, &translated, FALSE), 0u);
        EXPECT_FALSE(translated);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_CONTROL_ID_NOT_FOUND));
    });
}

TEST_F(DialogCallsTest, SetDlgItemIntAndTexts) {
    InDialog([](HWND dialog) {
        char narrow[16] = {};
        ASSERT_TRUE(SetDlgItemInt(dialog, IDC_COUNT, static_cast<UINT>(-3), TRUE));
        EXPECT_EQ(GetDlgItemTextA(dialog, IDC_COUNT, narrow, sizeof narrow), 2u);
        EXPECT_STREQ(narrow, "-3");
        ASSERT_TRUE(SetDlgItemInt(dialog, IDC_COUNT, static_cast<UINT>(-3), FALSE));
        GetDlgItemTextA(dialog, IDC_COUNT, narrow, sizeof narrow);
        EXPECT_STREQ(narrow, "4294967293");

        // ANSI text is code page 1252 on both sides.
        ASSERT_TRUE(SetDlgItemTextA(dialog, IDC_HEADING, "Caf\xe9"));
        char16_t wide[16] = {};
        EXPECT_EQ(GetDlgItemTextW(dialog, IDC_HEADING, wide, 16), 4u);
        EXPECT_EQ(std::u16string(wide), u"Caf\u00e9");
        ASSERT_TRUE(SetDlgItemTextW(dialog, IDC_HEADING, u"\u20ac 5"));
        EXPECT_EQ(GetDlgItemTextA(dialog, IDC_HEADING, narrow, 3), 2u);
        EXPECT_STREQ(narrow, "\x80 ");

        EXPECT_FALSE(SetDlgItemTextA(dialog, 4242, "x"));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_CONTROL_ID_NOT_FOUND));
        narrow[0] = 'z';
        EXPECT_EQ(GetDlgItemTextA(dialog, 4242, narrow, sizeof narrow), 0u);
        EXPECT_STREQ(narrow, "");
    });
}

TEST_F(DialogCallsTest, ChecksRadiosAndEnabling) {
    InDialog([](HWND dialog) {
        EXPECT_TRUE(CheckDlgButton(dialog, IDC_ENABLE, BST_CHECKED));
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_ENABLE), UINT(BST_CHECKED));
        EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_ENABLE, BM_GETCHECK, 0, 0), BST_CHECKED);
        // Push buttons have no check.
        CheckDlgButton(dialog, IDOK, BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDOK), UINT(BST_UNCHECKED));
        EXPECT_FALSE(CheckDlgButton(dialog, 4242, BST_CHECKED));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_CONTROL_ID_NOT_FOUND));

        // CheckRadioButton checks one id of the range and clears the others.
        CheckDlgButton(dialog, IDC_LIMIT, BST_CHECKED);
        EXPECT_TRUE(CheckRadioButton(dialog, IDC_ENABLE, IDC_LIMIT, IDC_LIMIT));
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_ENABLE), UINT(BST_UNCHECKED));
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_LIMIT), UINT(BST_CHECKED));
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SEND), UINT(BST_UNCHECKED));
        EXPECT_FALSE(CheckRadioButton(dialog, IDC_ENABLE, IDC_LIMIT, 4242));

        // BM_CLICK on an auto check box toggles it; on a disabled button it does nothing.
        SendDlgItemMessageA(dialog, IDC_SEND, BM_CLICK, 0, 0);
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SEND), UINT(BST_CHECKED));
        HWND send = GetDlgItem(dialog, IDC_SEND);
        EXPECT_FALSE(EnableWindow(send, FALSE));
        EXPECT_TRUE(EnableWindow(send, FALSE));
        EXPECT_FALSE(IsWindowEnabled(send));
        SendMessageA(send, BM_CLICK, 0, 0);
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SEND), UINT(BST_CHECKED));
        EXPECT_TRUE(EnableWindow(send, TRUE));
        EXPECT_TRUE(IsWindowEnabled(send));
        EXPECT_FALSE(GetWindowLongW(send, GWL_STYLE) & WS_DISABLED);

        EXPECT_EQ(GetDlgItem(dialog, IDC_SEND), send);
        EXPECT_EQ(GetDlgCtrlID(send), IDC_SEND);
        EXPECT_EQ(GetDlgItem(dialog, 4242), nullptr);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_CONTROL_ID_NOT_FOUND));
    });
}

TEST_F(DialogCallsTest, StaticIconsAndFontsByMessage) {
    InDialog([&](HWND dialog) {
        HICON icon = LoadIconW(m_module, MAKEINTRESOURCEW(IDI_MAIL));
        HICON first =
            reinterpret_cast<HICON>(SendDlgItemMessageW(dialog, IDC_ICON, STM_GETICON, 0, 0));
        EXPECT_EQ(first, icon);  // from the template
        EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_ICON, STM_SETICON, 0, 0),
                  reinterpret_cast<LRESULT>(icon));
        EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_ICON, STM_GETICON, 0, 0), 0);

        LOGFONTW logical{};
        logical.lfHeight = -20;
        HFONT font = CreateFontIndirectW(&logical);
        SendDlgItemMessageW(dialog, IDC_COUNT, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_COUNT, WM_GETFONT, 0, 0),
                  reinterpret_cast<LRESULT>(font));
        EXPECT_TRUE(DeleteObject(font));
    });
}

TEST_F(DialogCallsTest, ClientAreasAndMetrics) {
    InDialog([](HWND dialog) {
        RECT rect{1, 1, 1, 1};
        ASSERT_TRUE(GetClientRect(dialog, &rect));
        EXPECT_EQ(rect.left, 0);
        EXPECT_EQ(rect.top, 0);
        EXPECT_EQ(rect.right, 360);   // 240 dialog units across
        EXPECT_EQ(rect.bottom, 195);  // 120 down
        // An edit of 30 x 12 units with a border.
        ASSERT_TRUE(GetClientRect(GetDlgItem(dialog, IDC_COUNT), &rect));
        EXPECT_EQ(rect.right, 45 - 2);
        EXPECT_EQ(rect.bottom, 20 - 2);
        ASSERT_TRUE(GetClientRect(GetDlgItem(dialog, IDOK), &rect));
        EXPECT_EQ(rect.right, 75);
        EXPECT_EQ(rect.bottom, 23);
        EXPECT_FALSE(GetClientRect(dialog, nullptr));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NOACCESS));
    });
    RECT rect{};
    EXPECT_FALSE(GetClientRect(reinterpret_cast<HWND>(0x1234), &rect));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(EnableWindow(reinterpret_cast<HWND>(0x1234), TRUE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(IsWindowEnabled(reinterpret_cast<HWND>(0x1234)));

    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 17);
    EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), 16);
    EXPECT_EQ(GetSystemMetrics(SM_CYSMICON), 16);
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), 32);
    EXPECT_EQ(GetSystemMetrics(SM_CYICON), 32);
    EXPECT_EQ(GetSystemMetrics(9999), 0);
}

TEST_F(DialogCallsTest, FontsKeepTheirLogfont) {
    LOGFONTA narrow{};
    narrow.lfHeight = -13;
    narrow.lfWeight = FW_BOLD;
    narrow.lfItalic = 1;
    narrow.lfCharSet = ANSI_CHARSET;
    std::strcpy(narrow.lfFaceName, "Caf\xe9 Sans");
    HFONT font = CreateFontIndirectA(&narrow);
    ASSERT_NE(font, nullptr);

    EXPECT_EQ(GetObjectA(font, 0, nullptr), 60);
    EXPECT_EQ(GetObjectW(font, 0, nullptr), 92);
    LOGFONTW wide{};
    ASSERT_EQ(GetObjectW(font, sizeof wide, &wide), 92);
    EXPECT_EQ(wide.lfHeight, -13);
    EXPECT_EQ(wide.lfWeight, FW_BOLD);
    EXPECT_EQ(wide.lfItalic, 1);
    EXPECT_EQ(std::u16string(wide.lfFaceName), u"Caf\u00e9 Sans");
    LOGFONTA back{};
    ASSERT_EQ(GetObjectA(font, sizeof back, &back), 60);
    EXPECT_EQ(0, std::memcmp(&back, &narrow, sizeof back));
    EXPECT_EQ(GetObjectA(font, sizeof back - 1, &back), 0);

    // A face name without a terminator is cut to 31 characters.
    std::fill(std::begin(wide.lfFaceName), std::end(wide.lfFaceName), u'x');
    HFONT cut = CreateFontIndirectW(&wide);
    LOGFONTW described{};
    GetObjectW(cut, sizeof described, &described);
    EXPECT_EQ(std::u16string(described.lfFaceName), std::u16string(31, u'x'));

    EXPECT_TRUE(DeleteObject(font));
    EXPECT_EQ(GetObjectW(font, sizeof wide, &wide), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(DeleteObject(font));
    EXPECT_TRUE(DeleteObject(cut));

    EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(DialogCallsTest, DialogBoxFailures) {
    bool ran = false;
    Drivers().SetDriver([&](DialogSession&) { ran = true; });
    SetLastError(0);
    EXPECT_EQ(DialogBoxParamA(m_module, MAKEINTRESOURCEA(IDD_MISSING), nullptr, QuietProc, 0), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(DialogBoxW(m_module, u"NOSUCH", nullptr, QuietProc), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));

    EXPECT_EQ(DialogBoxParamA(m_module, MAKEINTRESOURCEA(IDD_LIMITS),
                              reinterpret_cast<HWND>(0x1234), QuietProc, 0),
              -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));

    // A control of an unknown class fails the dialog and leaves no window behind.
    EXPECT_EQ(DialogBoxA(m_module, MAKEINTRESOURCEA(IDD_BROKEN), nullptr, QuietProc), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CANNOT_FIND_WND_CLASS));
    EXPECT_TRUE(ListWindows(CurrentMachine()).size() <= 1u);  // the shell window at most
    EXPECT_FALSE(ran);

    EXPECT_FALSE(EndDialog(reinterpret_cast<HWND>(0x1234), 1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}

}  // namespace
}  // namespace pal::testing
