// The mail roads with every real party on them (see fixtures/roads_world.h).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "fixtures/roads_world.h"

namespace {

using namespace activesync;
using emu::cemapi::FolderKind;
namespace mail = emu::mailclient;

constexpr ULONG kRead = 0x1;

class MailRoads : public scenarios::RoadsWorld {
protected:
    MailRoads() : RoadsWorld("Message") {}

    // The partnership's mail options, as the options dialog stores them.
    void SetOption(const char16_t* name, DWORD value) {
        pal::RegistryStore(desktop).SetDword(PartnershipKeyPath(m_id) + u"\\KV.WinCE.OE.3", name,
                                             value);
    }

    std::vector<emu::cemapi::MessageInfo> Folder(FolderKind kind) {
        std::vector<emu::cemapi::MessageInfo> messages;
        for (const auto& listed : emu::cemapi::ListMessages(device, m_store, kind))
            if (auto read = emu::cemapi::ReadMessage(device, m_store, listed.id))
                messages.push_back(*read);
        return messages;
    }

    std::uint64_t AddDesktopMessage(const std::string& subject, const std::string& body,
                                    std::vector<mail::Attachment> attachments = {}) {
        mail::Message message;
        message.subject = subject;
        message.body = body;
        message.from = {"Ann", "ann@example.com"};
        message.recipients = {{mail::kTo, "Bob", "bob@example.com"}};
        message.attachments = std::move(attachments);
        return mail::AddMessage(desktop, message);
    }

    std::int64_t ComposeOnDevice(const std::u16string& subject) {
        emu::cemapi::NewMessage message;
        message.subject = subject;
        message.recipients = {{1, u"Ann", u"ann@example.com", u"SMTP"},
                              {2, u"", u"carl@example.com", u"SMTP"}};
        message.body = u"Written on the device";
        message.attachments = {{u"notes.txt", {'n', 'o', 't', 'e', 's', '\n'}}};
        std::int64_t id = emu::cemapi::ComposeMessage(device, m_store, message);
        Settle();
        return id;
    }
};

mail::Attachment File(const std::string& name, size_t size, char fill) {
    mail::Attachment attachment;
    attachment.fileName = name;
    attachment.content.assign(size, static_cast<std::uint8_t>(fill));
    attachment.size = size;
    return attachment;
}

TEST_F(MailRoads, ANewDesktopMessageArrivesCutWithTheSelectedAttachmentsAndThenNothingMoves) {
    // Bodies cut after three lines; attachments delivered below 1 KB only.
    SetOption(u"Options", 0x01 | 0x02 | 0x08 | 0x10 | 0x20);
    SetOption(u"MaxLines", 3);
    SetOption(u"SizeLimit", 1);
    std::string body;
    for (int line = 1; line <= 10; ++line) body += "line " + std::to_string(line) + "\r\n";
    AddDesktopMessage("Minutes", body, {File("small.txt", 100, 's'), File("large.bin", 4096, 'L')});

    TypeReport first = Sync();
    EXPECT_EQ(first.Count(SyncDirection::ToDevice, SyncAction::Created), 1u);
    auto inbox = Folder(FolderKind::Inbox);
    ASSERT_EQ(inbox.size(), 1u);
    const auto& arrived = inbox.front();
    EXPECT_EQ(arrived.subject, u"Minutes");
    EXPECT_NE(arrived.body.find(u"line 3"), std::u16string::npos);
    EXPECT_EQ(arrived.body.find(u"line 4"), std::u16string::npos);
    EXPECT_EQ(arrived.body.find(u'\0'), std::u16string::npos);
    ASSERT_EQ(arrived.attachments.size(), 2u);
    EXPECT_EQ(arrived.attachments[0].fileName, u"small.txt");
    EXPECT_EQ(arrived.attachments[0].data, std::vector<std::uint8_t>(100, 's'));
    EXPECT_EQ(arrived.attachments[1].fileName, u"large.bin");
    EXPECT_TRUE(arrived.attachments[1].data.empty());

    // The service journals the provider's own write as no device change.
    EXPECT_EQ(Nothing(Sync()), 0u);
    EXPECT_EQ(Nothing(Sync()), 0u);
    EXPECT_EQ(Folder(FolderKind::Inbox).size(), 1u);
}

TEST_F(MailRoads, ReadingOnTheDesktopAndDeletingOnTheDeviceReachTheOtherSide) {
    std::uint64_t first = AddDesktopMessage("First", "one");
    std::uint64_t second = AddDesktopMessage("Second", "two");
    Sync();
    ASSERT_EQ(Folder(FolderKind::Inbox).size(), 2u);

    ASSERT_TRUE(mail::SetUnread(desktop, first, false));
    TypeReport read = Sync();
    EXPECT_EQ(read.Count(SyncDirection::ToDevice, SyncAction::Changed), 1u);
    for (const auto& message : Folder(FolderKind::Inbox))
        EXPECT_EQ((message.flags & kRead) != 0, message.subject == u"First") << message.id;

    auto inbox = Folder(FolderKind::Inbox);
    auto onDevice = std::find_if(inbox.begin(), inbox.end(),
                                 [](const auto& m) { return m.subject == u"Second"; });
    ASSERT_NE(onDevice, inbox.end());
    ASSERT_TRUE(emu::cemapi::DeleteMessage(device, m_store, onDevice->id));
    Settle();
    TypeReport deleted = Sync();
    EXPECT_EQ(deleted.Count(SyncDirection::ToDesktop, SyncAction::Deleted), 1u);
    EXPECT_FALSE(mail::FindMessage(desktop, second));
    EXPECT_TRUE(mail::FindMessage(desktop, first));
    EXPECT_EQ(Nothing(Sync()), 0u);
}

TEST_F(MailRoads, AMoveToDeletedItemsOnTheDeviceDeletesOnBothSides) {
    std::uint64_t id = AddDesktopMessage("Old news", "stale");
    Sync();
    auto inbox = Folder(FolderKind::Inbox);
    ASSERT_EQ(inbox.size(), 1u);
    ASSERT_TRUE(emu::cemapi::MoveMessage(device, m_store, inbox.front().id, FolderKind::DeletedItems));
    Settle();

    Sync();
    EXPECT_FALSE(mail::FindMessage(desktop, id));
    EXPECT_TRUE(Folder(FolderKind::Inbox).empty());
    EXPECT_TRUE(Folder(FolderKind::DeletedItems).empty());
    EXPECT_EQ(Nothing(Sync()), 0u);
}

TEST_F(MailRoads, ADeviceMessageIsSentByTheDesktopAndKeptInSentItemsOnlyWhenAsked) {
    // Sending allowed, the device keeping copies, and the device's user keeping sent mail.
    SetOption(u"Options", 0x01 | 0x10);
    pal::RegistryStore(device).SetDword(u"HKCU\\Software\\Microsoft\\Inbox\\Settings", u"SaveSent",
                                        1);
    ComposeOnDevice(u"Reply");

    TypeReport sent = Sync();
    EXPECT_EQ(sent.Count(SyncDirection::ToDevice, SyncAction::Deleted), 1u);
    auto desktopSent = mail::ListMessages(desktop, mail::Folder::Sent);
    ASSERT_EQ(desktopSent.size(), 1u);
    auto message = mail::FindMessage(desktop, desktopSent.front().id);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->subject, "Reply");
    EXPECT_EQ(message->body, "Written on the device");
    ASSERT_EQ(message->recipients.size(), 2u);
    EXPECT_EQ(message->recipients[0].address, "ann@example.com");
    EXPECT_EQ(message->recipients[1].address, "carl@example.com");
    ASSERT_EQ(message->attachments.size(), 1u);
    EXPECT_EQ(message->attachments[0].content,
              (std::vector<std::uint8_t>{'n', 'o', 't', 'e', 's', '\n'}));
    EXPECT_TRUE(Folder(FolderKind::Outbox).empty());
    auto kept = Folder(FolderKind::SentItems);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept.front().subject, u"Reply");
    EXPECT_EQ(Nothing(Sync()), 0u);

    // With "keep no copy" set on the desktop the device keeps none, whatever its user asked.
    SetOption(u"Options", 0x01 | 0x10 | 0x40);
    ComposeOnDevice(u"Second reply");
    Sync();
    EXPECT_EQ(mail::ListMessages(desktop, mail::Folder::Sent).size(), 2u);
    EXPECT_TRUE(Folder(FolderKind::Outbox).empty());
    EXPECT_EQ(Folder(FolderKind::SentItems).size(), 1u);
    EXPECT_EQ(Nothing(Sync()), 0u);
}

TEST_F(MailRoads, WithoutSendingAllowedADeviceMessageWaitsInTheOutbox) {
    SetOption(u"Options", 0x01);
    ComposeOnDevice(u"Held");
    Sync();
    EXPECT_TRUE(mail::ListMessages(desktop, mail::Folder::Sent).empty());
    auto outbox = Folder(FolderKind::Outbox);
    ASSERT_EQ(outbox.size(), 1u);
    EXPECT_EQ(outbox.front().subject, u"Held");
}

}  // namespace
