// The terminal dialog driver and its scripted form against a small dialog: a check box that
// enables a validated number, a radio pair, a disabled button, a free edit and a check-box list.
#include "terminal_dialog.h"

#include <sstream>

#include "cli.h"
#include "dialog_module_test.h"
#include "terminal_ids.h"

namespace velumex::testing {
namespace {

struct Transfer {
    bool limit = true;
    UINT count = 25;
    bool fast = true;
    bool lines[2] = {true, false};
};

Transfer* StateOf(HWND dialog) {
    return reinterpret_cast<Transfer*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

INT_PTR CALLBACK TransferProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        Transfer* state = StateOf(dialog);
        CheckDlgButton(dialog, IDC_LIMIT, state->limit ? BST_CHECKED : BST_UNCHECKED);
        SetDlgItemInt(dialog, IDC_COUNT, state->count, FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_COUNT), state->limit);
        CheckRadioButton(dialog, IDC_FAST, IDC_SLOW, state->fast ? IDC_FAST : IDC_SLOW);
        HWND list = GetDlgItem(dialog, IDC_LIST);
        ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES);
        LVCOLUMNA column{};
        column.mask = LVCF_WIDTH;
        column.cx = 200;
        ListView_InsertColumn(list, 0, &column);
        const char* names[] = {"Alpha", "Beta"};
        for (int i = 0; i < 2; ++i) {
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = i;
            item.pszText = const_cast<LPSTR>(names[i]);
            ListView_InsertItem(list, &item);
            ListView_SetCheckState(list, i, state->lines[i]);
        }
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
        case IDC_LIMIT:
            EnableWindow(GetDlgItem(dialog, IDC_COUNT),
                         IsDlgButtonChecked(dialog, IDC_LIMIT) == BST_CHECKED);
            return TRUE;
        case IDOK: {
            Transfer* state = StateOf(dialog);
            Transfer next = *state;
            next.limit = IsDlgButtonChecked(dialog, IDC_LIMIT) == BST_CHECKED;
            if (next.limit) {
                BOOL translated = FALSE;
                next.count = GetDlgItemInt(dialog, IDC_COUNT, &translated, FALSE);
                if (!translated || next.count < 1 || next.count > 99) {
                    MessageBoxA(dialog, "Enter a count from 1 to 99.", "Transfer", MB_ICONHAND);
                    return TRUE;
                }
            }
            next.fast = IsDlgButtonChecked(dialog, IDC_FAST) == BST_CHECKED;
            HWND list = GetDlgItem(dialog, IDC_LIST);
            for (int i = 0; i < 2; ++i) next.lines[i] = ListView_GetCheckState(list, i) == TRUE;
            *state = next;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
    }
    return FALSE;
}

class TerminalDialogTest : public DialogModuleTest {
protected:
    TerminalDialogTest()
        : DialogModuleTest(TERMINAL_FIXTURE_MODULE, u"C:\\Velumex\\Transfer.dll") {}

    INT_PTR Show() {
        return DialogBoxParamA(m_module, MAKEINTRESOURCEA(IDD_TRANSFER), nullptr, TransferProc,
                               reinterpret_cast<LPARAM>(&m_state));
    }

    // Runs the dialog from the terminal with `input`; returns what it wrote.
    std::string Terminal(const std::string& input) {
        std::istringstream in(input);
        std::ostringstream out;
        Drivers().SetDriver(TerminalDialogDriver(in, out));
        m_result = Show();
        Drivers().SetDriver({});
        return out.str();
    }

    Transfer m_state;
    INT_PTR m_result = 0;
};

const char kDrawn[] =
    "dialog 200 \"Transfer\"\n"
    "     -1 text      Copy & move\n"
    "    301 check box [x] Limit to\n"
    "    302 edit      [25]\n"
    "    303 radio     (o) Fast\n"
    "    304 radio     ( ) Slow\n"
    "    305 button    <Locked>  (disabled)\n"
    "    306 edit      []\n"
    "    307 list\n"
    "          1. [x] Alpha\n"
    "          2. [ ] Beta\n"
    "      1 button    <OK>\n"
    "      2 button    <Cancel>\n";

TEST_F(TerminalDialogTest, DrawsEveryControlInTemplateOrderAndCancelsAtTheEndOfInput) {
    std::string out = Terminal("help\n");
    EXPECT_EQ(out.substr(0, sizeof kDrawn - 1), kDrawn);
    EXPECT_NE(out.find("  type ID TEXT"), std::string::npos);
    EXPECT_EQ(out.substr(out.size() - 22), "\nend of input: Cancel\n");
    EXPECT_EQ(m_result, IDCANCEL);

    // What was changed before the input ended is dropped with the Cancel.
    Terminal("uncheck 301\ncheck 304\n");
    EXPECT_EQ(m_result, IDCANCEL);
    EXPECT_TRUE(m_state.limit);
    EXPECT_TRUE(m_state.fast);
}

TEST_F(TerminalDialogTest, CommandsActRedrawAndExplainWhatTheyCannotDo) {
    std::string out = Terminal(
        "uncheck 301\n"
        "type 302 7\n"
        "check 301\n"
        "type 302 7x\n"
        "type 302 7\n"
        "check 302\n"
        "click 305\n"
        "uncheck 303\n"
        "check 999\n"
        "fly 301\n"
        "check\n"
        "check 301 now\n"
        "tick 307 3\n"
        "check 304\n"
        "tick 307 2\n"
        "untick 307 1\n"
        "type 306 two  words\n"
        "ok\n"
        "check 301\n");
    EXPECT_EQ(m_result, IDOK);
    EXPECT_TRUE(m_state.limit);
    EXPECT_EQ(m_state.count, 7u);
    EXPECT_FALSE(m_state.fast);
    EXPECT_FALSE(m_state.lines[0]);
    EXPECT_TRUE(m_state.lines[1]);
    for (const char* expected : {
             "    301 check box [ ] Limit to\n    302 edit      [25]  (disabled)\n",
             "? control 302 is disabled\n",
             "? control 302 takes digits only\n",
             "? control 302 is not a check box\n",
             "? control 305 is disabled\n",
             "? control 303 is a radio button: check another one of its group\n",
             "? there is no control 999\n",
             "? unknown command 'fly' (type help for the commands)\n",
             "? check needs a control id\n",
             "? unexpected text after the control id\n",
             "? control 307 has no line 3\n",
             "    306 edit      [two  words]\n",
         })
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\nnot in:\n" << out;
    // The dialog ended with OK: the last command was never read.
    EXPECT_EQ(out.substr(out.size() - 2), "> ");
}

TEST_F(TerminalDialogTest, OkThatIsRefusedShowsTheMessageBoxAndKeepsTheDialogOpen) {
    // A check box already checked needs no click, and shows no box again.
    std::string out = Terminal("type 302 0\nok\ncheck 301\ntype 302 99\nok\n");
    EXPECT_EQ(m_result, IDOK);
    EXPECT_EQ(m_state.count, 99u);
    const std::string refused =
        "message box: [Transfer] Enter a count from 1 to 99.\nthe dialog stays open\n";
    size_t at = out.find(refused);
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(out.find("message box:", at + 1), std::string::npos) << "shown once only";
    EXPECT_NE(out.find("    302 edit      [0]\n", at), std::string::npos) << "redrawn after";
}

TEST(DialogActions, ParseFromCommands) {
    using Kind = DialogAction::Kind;
    EXPECT_EQ(ParseAction("check 1009"), (DialogAction{Kind::Check, 1009, {}, 0}));
    EXPECT_EQ(ParseAction("  uncheck   -1 "), (DialogAction{Kind::Uncheck, -1, {}, 0}));
    EXPECT_EQ(ParseAction("type 1030 12"), (DialogAction{Kind::Type, 1030, "12", 0}));
    EXPECT_EQ(ParseAction("type 1030"), (DialogAction{Kind::Type, 1030, "", 0}));
    EXPECT_EQ(ParseAction("tick 1011 2"), (DialogAction{Kind::Tick, 1011, {}, 1}));
    EXPECT_EQ(ParseAction("ok"), std::nullopt);
    EXPECT_EQ(Describe(*ParseAction("untick 1011 1")), "untick 1011 1");
    EXPECT_EQ(Describe(*ParseAction("type 1030 5")), "type 1030 5");
    for (const char* bad : {"click", "click 1x", "click 12345678901", "tick 5", "tick 5 0",
                            "tick 5 1 2", "uncheck 5 6"})
        EXPECT_THROW(ParseAction(bad), CliError) << bad;
}

class ScriptedDialogTest : public TerminalDialogTest {
protected:
    std::string Script(DialogPlanner planner, std::vector<DialogAction> actions) {
        std::ostringstream out;
        m_outcome = {};
        Drivers().SetDriver(
            ScriptedDialogDriver(std::move(planner), std::move(actions), out, m_outcome));
        m_result = Show();
        Drivers().SetDriver({});
        return out.str();
    }

    ScriptOutcome m_outcome;
};

TEST_F(ScriptedDialogTest, PlansThenActionsThenOk) {
    using Kind = DialogAction::Kind;
    bool sawInitialState = false;
    DialogPlanner planner = [&](const std::vector<pal::DialogControl>& controls) {
        for (const auto& control : controls)
            if (control.id == IDC_COUNT) sawInitialState = control.text == u"25";
        return std::vector<DialogAction>{{Kind::Type, IDC_COUNT, "40", 0}};
    };
    std::string out =
        Script(planner, {{Kind::Check, IDC_SLOW, {}, 0}, {Kind::Check, IDC_LIMIT, {}, 0}});
    EXPECT_TRUE(sawInitialState);
    EXPECT_EQ(out, "> type 302 40\n> check 304\n> check 301\n> ok\n");
    EXPECT_EQ(m_result, IDOK);
    EXPECT_TRUE(m_outcome.ran && m_outcome.pressedOk);
    EXPECT_FALSE(m_outcome.refused);
    EXPECT_EQ(m_outcome.error, "");
    EXPECT_EQ(m_state.count, 40u);
    EXPECT_FALSE(m_state.fast);
}

TEST_F(ScriptedDialogTest, RefusedOkIsCancelledAndReportsTheBox) {
    std::string out = Script({}, {{DialogAction::Kind::Type, IDC_COUNT, "100", 0}});
    EXPECT_EQ(m_result, IDCANCEL);
    EXPECT_TRUE(m_outcome.refused);
    ASSERT_EQ(m_outcome.boxes.size(), 1u);
    EXPECT_EQ(m_outcome.boxes[0].text, u"Enter a count from 1 to 99.");
    EXPECT_NE(out.find("> ok\nmessage box: [Transfer] Enter a count"), std::string::npos) << out;
    EXPECT_EQ(m_state.count, 25u);
}

TEST_F(ScriptedDialogTest, AnActionThatCannotBeDoneStopsBeforeOk) {
    using Kind = DialogAction::Kind;
    Script({}, {{Kind::Uncheck, IDC_LIMIT, {}, 0}, {Kind::Type, IDC_COUNT, "5", 0}});
    EXPECT_EQ(m_result, IDCANCEL);
    EXPECT_FALSE(m_outcome.pressedOk);
    EXPECT_EQ(m_outcome.error, "control 302 is disabled");
    EXPECT_TRUE(m_state.limit);

    Script(
        [](const std::vector<pal::DialogControl>&) -> std::vector<DialogAction> {
            throw CliError("cannot reach that");
        },
        {{Kind::Uncheck, IDC_LIMIT, {}, 0}});
    EXPECT_EQ(m_result, IDCANCEL);
    EXPECT_EQ(m_outcome.error, "cannot reach that");
    EXPECT_TRUE(m_state.limit);
}

}  // namespace
}  // namespace velumex::testing
