// A dialog with dependent check boxes and a validated number, run end to end through the dialog
// driver: initial states, the enabling rule after clicks, a refused value that keeps the dialog
// open with a message box, then a valid value and OK, and Cancel.
#include "dialogs_fixture.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/gdi_objects.h"
#include "pal/runtime/window_manager.h"

namespace pal::testing {
namespace {

struct Limits {
    HICON icon = nullptr;
    UINT count = 50;
    bool enable = true;
    bool limit = true;
    bool send = false;
    bool endAtInit = false;
    int manualClicks = 0;
    HFONT bold = nullptr;
    bool destroyed = false;
};

Limits* StateOf(HWND dialog) {
    return reinterpret_cast<Limits*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// The count follows its check box while that box is enabled; the box follows "Synchronize";
// "Do not keep" follows "Send".
void ApplyRules(HWND dialog) {
    bool enable = IsDlgButtonChecked(dialog, IDC_ENABLE) == BST_CHECKED;
    EnableWindow(GetDlgItem(dialog, IDC_LIMIT), enable);
    EnableWindow(GetDlgItem(dialog, IDC_COUNT),
                 enable && IsDlgButtonChecked(dialog, IDC_LIMIT) == BST_CHECKED);
    EnableWindow(GetDlgItem(dialog, IDC_KEEP), IsDlgButtonChecked(dialog, IDC_SEND) == BST_CHECKED);
}

INT_PTR CALLBACK LimitsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            Limits* state = StateOf(dialog);
            HFONT font =
                reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, IDC_HEADING, WM_GETFONT, 0, 0));
            LOGFONTA logical{};
            if (GetObjectA(font, sizeof logical, &logical) == sizeof logical) {
                logical.lfWeight = FW_BOLD;
                state->bold = CreateFontIndirectA(&logical);
                SendDlgItemMessageA(dialog, IDC_HEADING, WM_SETFONT,
                                    reinterpret_cast<WPARAM>(state->bold), FALSE);
            }
            SendDlgItemMessageA(dialog, IDC_ICON, STM_SETICON,
                                reinterpret_cast<WPARAM>(state->icon), 0);
            SetDlgItemInt(dialog, IDC_COUNT, state->count, FALSE);
            CheckDlgButton(dialog, IDC_ENABLE, state->enable ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(dialog, IDC_LIMIT, state->limit ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(dialog, IDC_SEND, state->send ? BST_CHECKED : BST_UNCHECKED);
            ApplyRules(dialog);
            if (state->endAtInit) EndDialog(dialog, 77);
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_ENABLE:
                case IDC_LIMIT:
                case IDC_SEND:
                    ApplyRules(dialog);
                    return TRUE;
                case IDC_MANUAL:
                    // A plain check box changes only when its dialog says so.
                    ++StateOf(dialog)->manualClicks;
                    CheckDlgButton(
                        dialog, IDC_MANUAL,
                        IsDlgButtonChecked(dialog, IDC_MANUAL) ? BST_UNCHECKED : BST_CHECKED);
                    return TRUE;
                case IDOK: {
                    Limits* state = StateOf(dialog);
                    if (IsDlgButtonChecked(dialog, IDC_LIMIT) == BST_CHECKED) {
                        BOOL translated = FALSE;
                        UINT count = GetDlgItemInt(dialog, IDC_COUNT, &translated, FALSE);
                        if (!translated || count < 5 || count > 9999) {
                            MessageBoxA(dialog, "Enter a number from 5 to 9999.", "Limits",
                                        MB_ICONHAND);
                            return TRUE;
                        }
                        state->count = count;
                    }
                    state->enable = IsDlgButtonChecked(dialog, IDC_ENABLE) == BST_CHECKED;
                    state->limit = IsDlgButtonChecked(dialog, IDC_LIMIT) == BST_CHECKED;
                    state->send = IsDlgButtonChecked(dialog, IDC_SEND) == BST_CHECKED;
                    EndDialog(dialog, IDOK);
                    return TRUE;
                }
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
            }
            return FALSE;
        case WM_DESTROY: {
            Limits* state = StateOf(dialog);
            state->destroyed = true;
            DeleteObject(state->bold);
            return FALSE;
        }
    }
    return FALSE;
}

class LimitsDialogTest : public DialogTest {
protected:
    LimitsDialogTest() { m_limits.icon = LoadIconA(m_module, MAKEINTRESOURCEA(IDI_MAIL)); }

    INT_PTR Show(HWND owner = nullptr) {
        return DialogBoxParamA(m_module, MAKEINTRESOURCEA(IDD_LIMITS), owner, LimitsProc,
                               reinterpret_cast<LPARAM>(&m_limits));
    }

    Limits m_limits;
};

TEST_F(LimitsDialogTest, InitialStatesFontsAndIcon) {
    bool ran = false;
    Drivers().SetDriver([&](DialogSession& dialog) {
        ran = true;
        EXPECT_EQ(dialog.Title(), u"Limits");
        EXPECT_EQ(dialog.TemplateName(), ResourceId(IDD_LIMITS));
        EXPECT_EQ(dialog.Controls().size(), 11u);
        auto enable = dialog.Control(IDC_ENABLE);
        ASSERT_TRUE(enable);
        EXPECT_EQ(enable->kind, ControlKind::CheckBox);
        EXPECT_EQ(enable->className, u"Button");
        EXPECT_EQ(enable->text, u"Synchronize");
        EXPECT_TRUE(enable->checked);
        EXPECT_TRUE(dialog.Control(IDC_LIMIT)->enabled);
        // The template disables the count; the dialog's rule enabled it.
        auto count = dialog.Control(IDC_COUNT);
        EXPECT_EQ(count->kind, ControlKind::Edit);
        EXPECT_EQ(count->text, u"50");
        EXPECT_TRUE(count->enabled);
        EXPECT_FALSE(dialog.Control(IDC_SEND)->checked);
        EXPECT_FALSE(dialog.Control(IDC_KEEP)->enabled);
        EXPECT_FALSE(dialog.Control(IDC_LOCKED)->enabled);
        EXPECT_EQ(dialog.Control(IDOK)->kind, ControlKind::PushButton);
        EXPECT_EQ(dialog.Control(IDC_ICON)->kind, ControlKind::Icon);
        EXPECT_EQ(dialog.Control(IDC_ICON)->icon, m_limits.icon);

        // The heading shows a bold copy of the template's font; the others the font itself.
        auto heading = dialog.Control(IDC_HEADING);
        EXPECT_EQ(heading->kind, ControlKind::Text);
        EXPECT_EQ(heading->font, m_limits.bold);
        LOGFONTW bold{};
        ASSERT_EQ(GetObjectW(heading->font, sizeof bold, &bold), int(sizeof bold));
        EXPECT_EQ(bold.lfWeight, FW_BOLD);
        EXPECT_EQ(std::u16string(bold.lfFaceName), u"MS Shell Dlg");
        LOGFONTW plain{};
        ASSERT_EQ(GetObjectW(count->font, sizeof plain, &plain), int(sizeof plain));
        EXPECT_EQ(plain.lfWeight, FW_NORMAL);
        EXPECT_EQ(plain.lfHeight, -11);
        EXPECT_EQ(plain.lfItalic, 1);
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(dialog.Window(), WM_GETFONT, 0, 0)),
                  count->font);
        EXPECT_FALSE(dialog.Ended());
    });
    size_t fonts = CurrentProcess().Get<GdiObjectTable>().Count();
    EXPECT_EQ(Show(), IDCANCEL);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(m_limits.destroyed);
    // The dialog's own font went with it, as did the bold one its procedure deleted.
    EXPECT_EQ(CurrentProcess().Get<GdiObjectTable>().Count(), fonts);
}

TEST_F(LimitsDialogTest, EnablingFollowsClicks) {
    Drivers().SetDriver([&](DialogSession& dialog) {
        EXPECT_TRUE(dialog.Click(IDC_ENABLE));
        EXPECT_FALSE(dialog.Control(IDC_ENABLE)->checked);
        EXPECT_FALSE(dialog.Control(IDC_LIMIT)->enabled);
        EXPECT_FALSE(dialog.Control(IDC_COUNT)->enabled);
        // A person cannot use disabled controls.
        EXPECT_FALSE(dialog.Click(IDC_LIMIT));
        EXPECT_FALSE(dialog.Type(IDC_COUNT, u"7"));
        EXPECT_FALSE(dialog.Click(IDC_LOCKED));
        EXPECT_EQ(dialog.Control(IDC_COUNT)->text, u"50");

        EXPECT_TRUE(dialog.Click(IDC_ENABLE));
        EXPECT_TRUE(dialog.Control(IDC_COUNT)->enabled);
        EXPECT_TRUE(dialog.Click(IDC_LIMIT));
        EXPECT_FALSE(dialog.Control(IDC_COUNT)->enabled);
        EXPECT_TRUE(dialog.Click(IDC_SEND));
        EXPECT_TRUE(dialog.Control(IDC_KEEP)->enabled);

        // A plain check box does not change itself; the dialog procedure decides.
        EXPECT_TRUE(dialog.Click(IDC_MANUAL));
        EXPECT_EQ(m_limits.manualClicks, 1);
        EXPECT_TRUE(dialog.Control(IDC_MANUAL)->checked);
        // Only controls of the right kind take each action.
        EXPECT_FALSE(dialog.Click(IDC_HEADING));
        EXPECT_FALSE(dialog.Type(IDC_ENABLE, u"1"));
        EXPECT_FALSE(dialog.SetLineChecked(IDC_COUNT, 0, true));
        EXPECT_FALSE(dialog.Click(4242));
        EXPECT_TRUE(dialog.Ok());
    });
    EXPECT_EQ(Show(), IDOK);
    EXPECT_TRUE(m_limits.enable);
    EXPECT_FALSE(m_limits.limit);
    EXPECT_TRUE(m_limits.send);
    EXPECT_EQ(m_limits.count, 50u);
}

TEST_F(LimitsDialogTest, RefusedValueKeepsTheDialogOpen) {
    std::vector<std::u16string> answered;
    Boxes().SetDriver([&](const MessageBoxRecord& box) {
        answered.push_back(box.text);
        return IDOK;
    });
    Drivers().SetDriver([&](DialogSession& dialog) {
        // A number edit refuses letters; a person can type only digits.
        EXPECT_FALSE(dialog.Type(IDC_COUNT, u"12a"));
        EXPECT_EQ(dialog.Control(IDC_COUNT)->text, u"50");

        for (const char16_t* refused : {u"4", u"10000", u""}) {
            EXPECT_TRUE(dialog.Type(IDC_COUNT, refused));
            EXPECT_TRUE(dialog.Ok());
            EXPECT_FALSE(dialog.Ended()) << U8(refused);
            ASSERT_EQ(dialog.LastMessageBoxes().size(), 1u);
            EXPECT_EQ(dialog.LastMessageBoxes()[0].owner, dialog.Window());
            EXPECT_EQ(dialog.LastMessageBoxes()[0].caption, u"Limits");
            EXPECT_EQ(dialog.LastMessageBoxes()[0].style, UINT(MB_ICONHAND));
        }
        EXPECT_TRUE(dialog.Type(IDC_COUNT, u"5"));
        EXPECT_TRUE(dialog.LastMessageBoxes().empty());
        EXPECT_TRUE(dialog.Ok());
        EXPECT_TRUE(dialog.Ended());
        EXPECT_EQ(dialog.Result(), IDOK);
        EXPECT_TRUE(dialog.LastMessageBoxes().empty());
        // An ended dialog takes no more actions.
        EXPECT_FALSE(dialog.Click(IDC_ENABLE));
    });
    EXPECT_EQ(Show(), IDOK);
    EXPECT_EQ(m_limits.count, 5u);
    EXPECT_EQ(answered.size(), 3u);
    EXPECT_EQ(Boxes().Records().size(), 3u);
}

TEST_F(LimitsDialogTest, CancelLeavesTheStateAlone) {
    Drivers().SetDriver([&](DialogSession& dialog) {
        EXPECT_TRUE(dialog.Type(IDC_COUNT, u"77"));
        EXPECT_TRUE(dialog.Click(IDC_ENABLE));
        EXPECT_TRUE(dialog.Cancel());
        EXPECT_TRUE(dialog.Ended());
    });
    EXPECT_EQ(Show(), IDCANCEL);
    EXPECT_EQ(m_limits.count, 50u);
    EXPECT_TRUE(m_limits.enable);
}

TEST_F(LimitsDialogTest, WithoutDriverTheDialogIsCancelled) {
    EXPECT_EQ(Show(), IDCANCEL);
    EXPECT_TRUE(m_limits.destroyed);
    EXPECT_NE(m_limits.bold, nullptr);
    for (auto& window : ListWindows(CurrentMachine())) EXPECT_NE(window.className, u"#32770");
}

TEST_F(LimitsDialogTest, EndDialogDuringInitialisationSkipsTheDriver) {
    m_limits.endAtInit = true;
    bool ran = false;
    Drivers().SetDriver([&](DialogSession&) { ran = true; });
    EXPECT_EQ(Show(), 77);
    EXPECT_FALSE(ran);
    EXPECT_TRUE(m_limits.destroyed);
}

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(LimitsDialogTest, OwnerIsDisabledWhileTheDialogIsOpen) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = OwnerProc;
    windowClass.lpszClassName = u"Owner";
    ASSERT_NE(RegisterClassW(&windowClass), 0);
    HWND owner = CreateWindowW(u"Owner", u"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                               nullptr, nullptr);
    HWND child =
        CreateWindowW(u"Owner", u"", WS_CHILD, 0, 0, 10, 10, owner, nullptr, nullptr, nullptr);
    Drivers().SetDriver([&](DialogSession& dialog) {
        EXPECT_FALSE(IsWindowEnabled(owner));
        // A child given as parent stands for its top-level window.
        EXPECT_EQ(GetWindow(dialog.Window(), GW_OWNER), owner);
        // Dialogs never take the foreground.
        EXPECT_NE(GetForegroundWindow(), dialog.Window());
        EXPECT_TRUE(dialog.Ok());
    });
    EXPECT_EQ(Show(child), IDOK);
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(LimitsDialogTest, QueuedDriversRunOneDialogEach) {
    std::vector<int> order;
    Drivers().Queue([&](DialogSession& dialog) {
        order.push_back(1);
        dialog.Ok();
    });
    Drivers().Queue([&](DialogSession&) { order.push_back(2); });
    Drivers().SetDriver([&](DialogSession& dialog) {
        order.push_back(3);
        dialog.Ok();
    });
    EXPECT_EQ(Drivers().QueuedCount(), 2u);
    EXPECT_EQ(Show(), IDOK);
    // A driver that leaves the dialog open has Cancel pressed for it.
    EXPECT_EQ(Show(), IDCANCEL);
    EXPECT_EQ(Show(), IDOK);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(Drivers().QueuedCount(), 0u);
}

INT_PTR CALLBACK StubbornProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    // Refuses Cancel; only OK ends it.
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) EndDialog(dialog, IDOK);
    return message == WM_COMMAND;
}

TEST_F(LimitsDialogTest, DialogRefusingCancelStillEnds) {
    bool stayed = false;
    Drivers().SetDriver([&](DialogSession& dialog) {
        EXPECT_TRUE(dialog.Cancel());
        stayed = !dialog.Ended();
        // A disabled Cancel button makes Esc do nothing.
        EnableWindow(GetDlgItem(dialog.Window(), IDCANCEL), FALSE);
        EXPECT_FALSE(dialog.Cancel());
    });
    EXPECT_EQ(DialogBoxParamW(m_module, u"#138", nullptr, StubbornProc, 0), IDCANCEL);
    EXPECT_TRUE(stayed);
}

}  // namespace
}  // namespace pal::testing
