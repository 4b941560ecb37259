// The mail client's store controls: validation, marking, deleting, times.
#include "mailclient_testing/mail_client_test.h"

namespace mailclient_testing {
namespace {

using Store = pal::testing::DesktopTest;

TEST_F(Store, RefusesMessagesItCouldNotPresent) {
    Message noOriginator = Mail("x");
    noOriginator.from = {"Name only", ""};
    EXPECT_THROW(AddMessage(m_world.Desktop(), noOriginator), MailClientError);
    Message badClass = Mail("x");
    badClass.recipients = {{0, "", "a@b"}};
    EXPECT_THROW(AddMessage(m_world.Desktop(), badClass), MailClientError);
    Message noAddress = Mail("x");
    noAddress.recipients = {{kCc, "Carol", ""}};
    EXPECT_THROW(AddMessage(m_world.Desktop(), noAddress), MailClientError);
    Message badDate = Mail("x");
    badDate.received = "2024-02-30T10:00:00";
    EXPECT_THROW(AddMessage(m_world.Desktop(), badDate), MailClientError);
    EXPECT_TRUE(ListMessages(m_world.Desktop(), Folder::Inbox).empty());
}

TEST_F(Store, MarksRenamesAndDeletesOnlyExistingMessages) {
    std::uint64_t id = AddMessage(m_world.Desktop(), Mail("x"));
    EXPECT_TRUE(SetSubject(m_world.Desktop(), id, "renamed"));
    EXPECT_EQ(FindMessage(m_world.Desktop(), id)->subject, "renamed");
    EXPECT_FALSE(SetSubject(m_world.Desktop(), id + 1, "y"));
    EXPECT_TRUE(SetUnread(m_world.Desktop(), id, false));
    EXPECT_FALSE(FindMessage(m_world.Desktop(), id)->unread);
    EXPECT_TRUE(SetUnread(m_world.Desktop(), id, true));
    EXPECT_TRUE(FindMessage(m_world.Desktop(), id)->unread);
    EXPECT_FALSE(SetUnread(m_world.Desktop(), id + 1, true));
    EXPECT_TRUE(DeleteMessage(m_world.Desktop(), id));
    EXPECT_FALSE(DeleteMessage(m_world.Desktop(), id));
}

TEST_F(Store, ListsWithoutContentAndFindsWithContent) {
    Message mail = Mail("x");
    mail.attachments = {{"a.bin", "", 0, Bytes("12345")}};
    std::uint64_t id = AddMessage(m_world.Desktop(), mail);
    std::vector<Message> listed = ListMessages(m_world.Desktop(), Folder::Inbox);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].attachments[0].size, 5u);
    EXPECT_TRUE(listed[0].attachments[0].content.empty());
    EXPECT_EQ(FindMessage(m_world.Desktop(), id)->attachments[0].content, Bytes("12345"));
}

TEST_F(Store, ArrivalTimeDefaultsToTheDesktopsLocalClock) {
    pal::MachineConfig config = m_world.Desktop().Config();
    config.timeZoneBias = -60;  // one hour east of UTC
    m_world.Desktop().SetConfig(config);
    // 2024-03-05 23:30:00 UTC.
    m_world.Desktop().FreezeClock(133541550000000000ULL);
    EXPECT_EQ(LocalNow(m_world.Desktop()), "2024-03-06T00:30:00");
    Message mail = Mail("now");
    mail.received.clear();
    std::uint64_t id = AddMessage(m_world.Desktop(), mail);
    EXPECT_EQ(FindMessage(m_world.Desktop(), id)->received, "2024-03-06T00:30:00");
}

TEST(ReceivedTimes, AcceptTheIsoFormsAndRefuseTheRest) {
    EXPECT_EQ(NormalizeReceived("2024-03-05"), "2024-03-05T00:00:00");
    EXPECT_EQ(NormalizeReceived("2024-03-05T09:07"), "2024-03-05T09:07:00");
    EXPECT_EQ(NormalizeReceived("2024-03-05 09:07:30"), "2024-03-05T09:07:30");
    EXPECT_EQ(NormalizeReceived("2024-02-29T23:59:59"), "2024-02-29T23:59:59");
    for (const char* bad : {"", "2024", "2024-3-05", "2023-02-29", "2024-03-05T24:00",
                            "2024-03-05T09:07:30Z", "2024-03-05X09:07", "1600-01-01"})
        EXPECT_FALSE(NormalizeReceived(bad)) << bad;
}

}  // namespace
}  // namespace mailclient_testing
