// The mail options request: parsing, the planned clicks, and every reachable "Options" value
// reached through the mail options template run by a dialog procedure that keeps the dialog's
// enabling rules (a dependant is enabled only while its box is checked and enabled) and builds
// the options on OK as the dialog does.
#include "mail_options_plan.h"

#include <sstream>

#include "cli.h"
#include "dialog_module_test.h"
#include "resource_ids.h"

namespace velumex::testing {
namespace {

using Kind = DialogAction::Kind;

struct MailValues {
    DWORD options = 0x57, maxLines = 50, days = 4, sizeLimit = 20;
};

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void ApplyRules(HWND dialog) {
    auto enable = [dialog](int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on); };
    bool sync = Checked(dialog, IDC_SYNC_MAIL);
    for (int id : {IDC_LIMIT_LINES, IDC_LIMIT_DAYS, IDC_ATTACHMENTS}) enable(id, sync);
    enable(IDC_MAX_LINES, sync && Checked(dialog, IDC_LIMIT_LINES));
    enable(IDC_DAYS, sync && Checked(dialog, IDC_LIMIT_DAYS));
    bool attachments = sync && Checked(dialog, IDC_ATTACHMENTS);
    enable(IDC_LIMIT_ATTACHMENTS, attachments);
    enable(IDC_SIZE_LIMIT, attachments && Checked(dialog, IDC_LIMIT_ATTACHMENTS));
    enable(IDC_NO_KEEP_SENT, Checked(dialog, IDC_SEND_MAIL));
}

constexpr std::pair<DWORD, int> kBits[] = {{0x01, IDC_SYNC_MAIL},         {0x02, IDC_LIMIT_LINES},
                                           {0x04, IDC_LIMIT_DAYS},        {0x08, IDC_ATTACHMENTS},
                                           {0x20, IDC_LIMIT_ATTACHMENTS}, {0x10, IDC_SEND_MAIL},
                                           {0x40, IDC_NO_KEEP_SENT}};

INT_PTR CALLBACK MailProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* values = reinterpret_cast<MailValues*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        values = reinterpret_cast<MailValues*>(lParam);
        SetDlgItemInt(dialog, IDC_MAX_LINES, values->maxLines, FALSE);
        SetDlgItemInt(dialog, IDC_DAYS, values->days, FALSE);
        SetDlgItemInt(dialog, IDC_SIZE_LIMIT, values->sizeLimit, FALSE);
        for (auto [bit, id] : kBits)
            CheckDlgButton(dialog, id, (values->options & bit) ? BST_CHECKED : BST_UNCHECKED);
        ApplyRules(dialog);
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
        case IDOK: {
            MailValues next = *values;
            next.options = 0;
            auto number = [dialog](int id, DWORD& into) {
                BOOL translated = FALSE;
                into = GetDlgItemInt(dialog, id, &translated, FALSE);
            };
            if (Checked(dialog, IDC_SYNC_MAIL)) {
                next.options |= 0x01;
                if (Checked(dialog, IDC_LIMIT_LINES)) next.options |= 0x02;
                if (Checked(dialog, IDC_LIMIT_LINES)) number(IDC_MAX_LINES, next.maxLines);
                if (Checked(dialog, IDC_LIMIT_DAYS)) next.options |= 0x04;
                if (Checked(dialog, IDC_LIMIT_DAYS)) number(IDC_DAYS, next.days);
                if (Checked(dialog, IDC_ATTACHMENTS)) {
                    next.options |= 0x08;
                    if (Checked(dialog, IDC_LIMIT_ATTACHMENTS)) {
                        next.options |= 0x20;
                        number(IDC_SIZE_LIMIT, next.sizeLimit);
                    }
                }
            }
            if (Checked(dialog, IDC_SEND_MAIL)) {
                next.options |= 0x10;
                if (Checked(dialog, IDC_NO_KEEP_SENT)) next.options |= 0x40;
            }
            *values = next;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            ApplyRules(dialog);
            return TRUE;
    }
}

// Valid requests: limit bits only under 0x1, 0x20 only under 0x8, 0x40 only under 0x10.
bool Reachable(DWORD options) {
    return !((options & 0x2E) && !(options & 0x01)) && !((options & 0x20) && !(options & 0x08)) &&
           !((options & 0x40) && !(options & 0x10));
}

class MailOptionsPlanTest : public DialogModuleTest {
protected:
    MailOptionsPlanTest()
        : DialogModuleTest(RESOURCE_MODULE, u"C:\\Program Files\\Velumex\\Trellium_res.dll") {}

    // Opens the dialog on `values`, performs the plan for `request` and presses OK.
    void Run(MailValues& values, const MailOptionsRequest& request) {
        std::ostringstream out;
        m_outcome = {};
        m_plan.clear();
        DialogPlanner planner = [&](const std::vector<pal::DialogControl>& controls) {
            m_plan = PlanMailOptions(controls, request);
            return m_plan;
        };
        Drivers().SetDriver(ScriptedDialogDriver(planner, {}, out, m_outcome));
        m_result = DialogBoxParamA(m_module, MAKEINTRESOURCEA(IDD_MAIL_OPTIONS), nullptr, MailProc,
                                   reinterpret_cast<LPARAM>(&values));
        Drivers().SetDriver({});
    }

    std::vector<DialogAction> Plan(MailValues values, const MailOptionsRequest& request) {
        Run(values, request);
        return m_plan;
    }

    ScriptOutcome m_outcome;
    std::vector<DialogAction> m_plan;
    INT_PTR m_result = 0;
};

TEST(MailOptionsRequestTest, ParsesNamesAndNumbers) {
    MailOptionsRequest request;
    ParseMailOptions("Options=0x3F,MaxLines=5", request);
    ParseMailOptions("days=0", request);
    ParseMailOptions("SizeLimit=4294967295", request);
    EXPECT_EQ(request.options, 0x3Fu);
    EXPECT_EQ(request.maxLines, 5u);
    EXPECT_EQ(request.days, 0u);
    EXPECT_EQ(request.sizeLimit, 0xFFFFFFFFu);
    ParseMailOptions("Options=87", request);
    EXPECT_EQ(request.options, 87u);
    for (const char* bad :
         {"", "Options", "Options=", "Options=0x", "Options=0x100000000", "MaxLines=0x10",
          "Days=-1", "SizeLimit=4294967296", "Colour=1", "MaxLines=5,,Days=1"}) {
        MailOptionsRequest ignored;
        EXPECT_THROW(ParseMailOptions(bad, ignored), CliError) << bad;
    }
}

TEST_F(MailOptionsPlanTest, ClicksOnlyWhatChangesParentsFirst) {
    MailValues defaults;
    EXPECT_TRUE(Plan(defaults, {0x57, 50, 4, std::nullopt}).empty());
    // Below an unchecked "send" box, "do not keep" is left as it is.
    EXPECT_EQ(Plan(defaults, {0x01, {}, {}, {}}),
              (std::vector<DialogAction>{{Kind::Uncheck, IDC_LIMIT_LINES, {}, 0},
                                         {Kind::Uncheck, IDC_LIMIT_DAYS, {}, 0},
                                         {Kind::Uncheck, IDC_SEND_MAIL, {}, 0}}));
    EXPECT_EQ(Plan(defaults, {0x3F, {}, {}, 9}),
              (std::vector<DialogAction>{{Kind::Check, IDC_ATTACHMENTS, {}, 0},
                                         {Kind::Check, IDC_LIMIT_ATTACHMENTS, {}, 0},
                                         {Kind::Uncheck, IDC_NO_KEEP_SENT, {}, 0},
                                         {Kind::Type, IDC_SIZE_LIMIT, "9", 0}}));
    // Nothing to type where the edit already shows the number, even with its limit off.
    EXPECT_TRUE(Plan(defaults, {std::nullopt, std::nullopt, std::nullopt, 20}).empty());
    // Boxes checked under an unchecked parent count for nothing until the parent is checked.
    MailValues orphans{0x62, 50, 4, 20};
    EXPECT_EQ(Plan(orphans, {0x51, {}, {}, {}}),
              (std::vector<DialogAction>{{Kind::Check, IDC_SYNC_MAIL, {}, 0},
                                         {Kind::Uncheck, IDC_LIMIT_LINES, {}, 0},
                                         {Kind::Check, IDC_SEND_MAIL, {}, 0}}));
}

TEST_F(MailOptionsPlanTest, RefusesWhatTheDialogWouldNotStore) {
    for (DWORD options : {0x80u, 0x02u, 0x21u, 0x41u}) {
        MailValues values;
        Run(values, {options, {}, {}, {}});
        EXPECT_NE(m_outcome.error, "") << options;
        EXPECT_FALSE(m_outcome.pressedOk);
        EXPECT_EQ(m_result, IDCANCEL);
        EXPECT_EQ(values.options, 0x57u);
    }
    MailValues values;
    Run(values, {0x55, 7, {}, {}});  // MaxLines without 0x2
    EXPECT_NE(m_outcome.error.find("MaxLines"), std::string::npos) << m_outcome.error;
    Run(values, {std::nullopt, std::nullopt, std::nullopt, 8});  // SizeLimit: 0x20 is off
    EXPECT_NE(m_outcome.error.find("SizeLimit"), std::string::npos) << m_outcome.error;
    EXPECT_EQ(m_result, IDCANCEL);
}

TEST_F(MailOptionsPlanTest, EveryReachableOptionsValueFromAnyStart) {
    for (DWORD start : {0x57u, 0x00u, 0x7Fu, 0x62u, 0x14u}) {
        for (DWORD target = 0; target < 0x80; ++target) {
            if (!Reachable(target)) continue;
            MailValues values{start, 50, 4, 20};
            MailOptionsRequest request{target, {}, {}, {}};
            if (target & 0x02) request.maxLines = 100 + target;
            if (target & 0x04) request.days = target;
            if ((target & 0x28) == 0x28) request.sizeLimit = 1 + target;
            Run(values, request);
            ASSERT_EQ(m_outcome.error, "") << std::hex << start << " -> " << target;
            ASSERT_EQ(m_result, IDOK);
            EXPECT_EQ(values.options, target) << std::hex << start << " -> " << target;
            EXPECT_EQ(values.maxLines, request.maxLines.value_or(50));
            EXPECT_EQ(values.days, request.days.value_or(4));
            EXPECT_EQ(values.sizeLimit, request.sizeLimit.value_or(20));
        }
    }
}

}  // namespace
}  // namespace velumex::testing
