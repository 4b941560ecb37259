#include <gtest/gtest.h>

#include "pal/msgbox.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/message_boxes.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

class MessageBoxTest : public testing::DesktopTest {
protected:
    MessageBoxes& Boxes(Machine& machine) { return machine.Get<MessageBoxes>(); }
    HWND FakeOwner() { return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x1234)); }
};

TEST_F(MessageBoxTest, EachBoxIsRecordedWithOwnerTextCaptionAndStyle) {
    EXPECT_EQ(MessageBoxA(FakeOwner(), "Partnership conflict \x96 caf\xE9", "Velumex", MB_ICONHAND),
              IDOK);
    EXPECT_EQ(MessageBoxW(nullptr, u"Ünïcode ✓", nullptr,
                          MB_OKCANCEL | MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST),
              IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, "", MB_OK), IDOK);

    auto records = Boxes(CurrentMachine()).Records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].owner, FakeOwner());
    EXPECT_EQ(records[0].text, u"Partnership conflict – café");
    EXPECT_EQ(records[0].caption, u"Velumex");
    EXPECT_EQ(records[0].style, 0x10u);
    EXPECT_EQ(records[0].answer, IDOK);
    EXPECT_EQ(records[1].owner, nullptr);
    EXPECT_EQ(records[1].text, u"Ünïcode ✓");
    EXPECT_EQ(records[1].caption, u"Error");  // the caption of a box without one
    EXPECT_EQ(records[1].style, static_cast<UINT>(0x00050031));
    EXPECT_EQ(records[2].text, u"");
    EXPECT_EQ(records[2].caption, u"");

    Boxes(CurrentMachine()).Clear();
    EXPECT_TRUE(Boxes(CurrentMachine()).Records().empty());
}

TEST_F(MessageBoxTest, WithoutADriverTheFirstButtonAnswers) {
    EXPECT_EQ(MessageBoxW(nullptr, u"", u"", MB_OK), IDOK);
    EXPECT_EQ(MessageBoxW(nullptr, u"", u"", MB_OKCANCEL | MB_ICONQUESTION), IDOK);
    EXPECT_EQ(MessageBoxW(nullptr, u"", u"", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxW(nullptr, u"", u"", MB_YESNOCANCEL | MB_ICONSTOP), IDYES);
    EXPECT_EQ(MessageBoxW(nullptr, u"", u"", MB_ABORTRETRYIGNORE), IDABORT);
    EXPECT_EQ(MessageBoxW(nullptr, u"", u"", MB_RETRYCANCEL | MB_ICONINFORMATION), IDRETRY);
    EXPECT_EQ(MessageBoxW(nullptr, u"", u"", MB_CANCELTRYCONTINUE), IDCANCEL);
    SetLastError(0);
    EXPECT_EQ(MessageBoxW(nullptr, u"", u"", 0x7), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Boxes(CurrentMachine()).Records().size(), 7u);  // the bad one is not recorded
}

TEST_F(MessageBoxTest, TheMachinesDriverChoosesTheAnswer) {
    std::vector<std::u16string> seen;
    Boxes(CurrentMachine()).SetDriver([&](const MessageBoxRecord& box) {
        seen.push_back(box.text);
        return box.text == u"Delete?" ? IDNO : IDCANCEL;
    });
    EXPECT_EQ(MessageBoxA(nullptr, "Delete?", "Velumex", MB_YESNO), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "Go on?", "Velumex", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(seen, (std::vector<std::u16string>{u"Delete?", u"Go on?"}));
    EXPECT_EQ(Boxes(CurrentMachine()).Records()[0].answer, IDNO);

    Boxes(CurrentMachine()).SetDriver(nullptr);
    EXPECT_EQ(MessageBoxA(nullptr, "Go on?", "Velumex", MB_OKCANCEL), IDOK);
}

TEST_F(MessageBoxTest, RecordsAndDriversBelongToTheirMachine) {
    Boxes(m_world.Device()).SetDriver([](const MessageBoxRecord&) { return IDNO; });
    EXPECT_EQ(MessageBoxA(nullptr, "desktop", "", MB_YESNO), IDYES);
    Use(m_world.Device());
    EXPECT_EQ(MessageBoxW(nullptr, u"device", u"", MB_YESNO), IDNO);
    ASSERT_EQ(Boxes(m_world.Desktop()).Records().size(), 1u);
    EXPECT_EQ(Boxes(m_world.Desktop()).Records()[0].text, u"desktop");
    ASSERT_EQ(Boxes(m_world.Device()).Records().size(), 1u);
    EXPECT_EQ(Boxes(m_world.Device()).Records()[0].text, u"device");
}

}  // namespace
}  // namespace pal
