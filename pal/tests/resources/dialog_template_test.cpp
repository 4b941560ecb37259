#include "pal/runtime/dialog_template.h"

#include <vector>

#include "pal/runtime/encoding.h"
#include "resources_fixture.h"
#include "velumex_rc.h"

namespace pal::testing {
namespace {

class DialogTemplateTest : public ResourcesTest {
protected:
    DialogTemplate Parse(WORD id) {
        HRSRC resource = FindResourceA(m_module, MAKEINTRESOURCEA(id), RT_DIALOG);
        EXPECT_NE(resource, nullptr);
        auto data = static_cast<const BYTE*>(LockResource(LoadResource(m_module, resource)));
        return ParseDialogTemplate({data, SizeofResource(m_module, resource)});
    }
};

void ExpectBox(const DialogItem& item, SHORT x, SHORT y, SHORT cx, SHORT cy) {
    EXPECT_EQ(item.x, x);
    EXPECT_EQ(item.y, y);
    EXPECT_EQ(item.cx, cx);
    EXPECT_EQ(item.cy, cy);
}

TEST_F(DialogTemplateTest, ExtendedTemplateMatchesTheScript) {
    DialogTemplate dialog = Parse(IDD_CONTACTS_OPTIONS);
    EXPECT_TRUE(dialog.extended);
    EXPECT_EQ(dialog.style, DWORD{DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU});
    EXPECT_EQ(dialog.exStyle, DWORD{WS_EX_CONTEXTHELP});
    EXPECT_EQ(dialog.x, 10);
    EXPECT_EQ(dialog.y, 20);
    EXPECT_EQ(dialog.cx, 220);
    EXPECT_EQ(dialog.cy, 160);
    EXPECT_FALSE(dialog.menu);
    EXPECT_FALSE(dialog.windowClass);
    EXPECT_EQ(dialog.title, u"Contacts Options");
    ASSERT_TRUE(dialog.font);
    EXPECT_EQ(dialog.font->pointSize, 8);
    EXPECT_EQ(dialog.font->weight, 400);
    EXPECT_FALSE(dialog.font->italic);
    EXPECT_EQ(dialog.font->charset, 1);
    EXPECT_EQ(dialog.font->face, u"MS Shell Dlg");

    ASSERT_EQ(dialog.items.size(), 10u);
    const auto& icon = dialog.items[0];
    EXPECT_EQ(icon.id, DWORD{IDC_ICON});
    EXPECT_EQ(icon.windowClass, ResourceId(kDialogClassStatic));
    EXPECT_EQ(icon.title, ResourceId(IDI_APP));  // the icon resource, by ordinal
    EXPECT_EQ(icon.style & 0xF, DWORD{SS_ICON});
    ExpectBox(icon, 7, 7, 0, 0);  // an ICON statement sizes itself to the icon

    const auto& heading = dialog.items[1];
    EXPECT_EQ(heading.id, DWORD{IDC_HEADING});
    EXPECT_EQ(heading.windowClass, ResourceId(kDialogClassStatic));
    EXPECT_EQ(heading.title.Text(), u"Address Book");
    ExpectBox(heading, 34, 10, 150, 10);

    const auto& all = dialog.items[2];
    const auto& chosen = dialog.items[3];
    EXPECT_EQ(all.id, DWORD{IDC_ALL_CONTACTS});
    EXPECT_EQ(all.title.Text(), u"&All contacts");
    EXPECT_EQ(all.style & 0xF, DWORD{BS_AUTORADIOBUTTON});
    EXPECT_TRUE(all.style & WS_GROUP);
    EXPECT_EQ(chosen.id, DWORD{IDC_CHOSEN_FOLDERS});
    EXPECT_EQ(chosen.windowClass, ResourceId(kDialogClassButton));
    EXPECT_FALSE(chosen.style & WS_GROUP);

    const auto& list = dialog.items[4];
    EXPECT_EQ(list.id, DWORD{IDC_FOLDER_LIST});
    EXPECT_EQ(list.windowClass, ResourceId(u"SysListView32"));
    EXPECT_EQ(list.title.Text(), u"");
    EXPECT_EQ(list.style, DWORD{LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | WS_BORDER |
                                WS_TABSTOP | WS_CHILD | WS_VISIBLE});
    EXPECT_EQ(list.exStyle, DWORD{WS_EX_CLIENTEDGE});
    ExpectBox(list, 7, 56, 206, 76);

    EXPECT_EQ(dialog.items[5].style & 0xF, DWORD{BS_AUTOCHECKBOX});
    EXPECT_EQ(dialog.items[6].windowClass, ResourceId(kDialogClassEdit));
    EXPECT_EQ(dialog.items[6].style & (ES_NUMBER | ES_AUTOHSCROLL),
              DWORD{ES_NUMBER | ES_AUTOHSCROLL});
    EXPECT_EQ(dialog.items[7].id, DWORD{IDOK});
    EXPECT_EQ(dialog.items[7].style & 0xF, DWORD{BS_DEFPUSHBUTTON});
    EXPECT_EQ(dialog.items[8].id, DWORD{IDCANCEL});
    EXPECT_EQ(dialog.items[8].title.Text(), u"Cancel");
    EXPECT_EQ(dialog.items[8].style & 0xF, DWORD{BS_PUSHBUTTON});

    const auto& custom = dialog.items[9];
    EXPECT_EQ(custom.windowClass, ResourceId(u"Button"));  // a class named, not by ordinal
    EXPECT_EQ(custom.helpId, 0x1234u);
    EXPECT_EQ(custom.style, DWORD{BS_AUTOCHECKBOX | WS_TABSTOP | WS_CHILD | WS_VISIBLE});
    EXPECT_EQ(custom.creationData, (std::vector<BYTE>{0x01, 0x02, 0x03, 0x04}));
    for (size_t i = 0; i < 9; ++i) EXPECT_TRUE(dialog.items[i].creationData.empty()) << i;
}

TEST_F(DialogTemplateTest, ClassicTemplateMatchesTheScript) {
    DialogTemplate dialog = Parse(IDD_MAIL_OPTIONS);
    EXPECT_FALSE(dialog.extended);
    EXPECT_EQ(dialog.style, DWORD{DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION});
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ(dialog.cx, 240);
    EXPECT_EQ(dialog.cy, 180);
    ASSERT_TRUE(dialog.menu);
    EXPECT_EQ(*dialog.menu, ResourceId(300));
    ASSERT_TRUE(dialog.windowClass);
    EXPECT_EQ(*dialog.windowClass, ResourceId(u"MailOptionsClass"));
    EXPECT_EQ(dialog.title, u"Mail Options");
    ASSERT_TRUE(dialog.font);
    EXPECT_EQ(dialog.font->pointSize, 9);
    EXPECT_EQ(dialog.font->weight, 0);
    EXPECT_EQ(dialog.font->face, u"Tahoma");

    struct Expected {
        DWORD id;
        ResourceId windowClass;
    };
    std::vector<Expected> expected = {
        {IDC_ICON, kDialogClassStatic},      {IDC_HEADING, kDialogClassStatic},
        {IDC_SYNC_MAIL, kDialogClassButton}, {IDC_LIMIT_LINES, kDialogClassButton},
        {IDC_MAX_LINES, kDialogClassEdit},   {IDC_LIMIT_DAYS, kDialogClassButton},
        {IDC_DAYS, kDialogClassEdit},        {0xFFFF, kDialogClassStatic},
        {IDC_SEND_MAIL, kDialogClassButton}, {1600, ResourceId(u"SysTreeView32")},
        {1601, kDialogClassComboBox},        {1602, kDialogClassListBox},
        {1603, kDialogClassScrollBar},       {IDOK, kDialogClassButton},
        {IDCANCEL, kDialogClassButton}};
    ASSERT_EQ(dialog.items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(dialog.items[i].id, expected[i].id) << i;
        EXPECT_EQ(dialog.items[i].windowClass, expected[i].windowClass) << i;
        EXPECT_EQ(dialog.items[i].helpId, 0u) << i;
    }
    EXPECT_EQ(dialog.items[0].title, ResourceId(IDI_BIG));
    EXPECT_EQ(dialog.items[7].title.Text(), u"days");
    ExpectBox(dialog.items[7], 115, 58, 30, 10);
    EXPECT_TRUE(dialog.items[4].style & ES_NUMBER);
    EXPECT_EQ(dialog.items[9].title.Text(), u"Tree");
    EXPECT_EQ(dialog.items[9].style, DWORD{WS_BORDER | WS_CHILD | WS_VISIBLE});
}

TEST_F(DialogTemplateTest, TruncatedTemplatesAreRefused) {
    HRSRC resource = FindResourceA(m_module, MAKEINTRESOURCEA(IDD_CONTACTS_OPTIONS), RT_DIALOG);
    auto data = static_cast<const BYTE*>(LockResource(LoadResource(m_module, resource)));
    DWORD size = SizeofResource(m_module, resource);
    for (DWORD cut : {DWORD{2}, DWORD{30}, size / 2, size - 1})
        EXPECT_THROW(ParseDialogTemplate({data, cut}), ResourceFormatError) << cut;
}

}  // namespace
}  // namespace pal::testing
