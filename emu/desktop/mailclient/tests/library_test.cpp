// The mail client's Simple MAPI library: sessions, enumeration, reading, sending, deleting.
#include <cstring>

#include "mailclient_testing/mail_client_test.h"

namespace mailclient_testing {
namespace {

using Sessions = LibraryTest;
using Enumeration = LibraryTest;
using Reading = LibraryTest;
using Sending = LibraryTest;
using Deleting = LibraryTest;

TEST_F(Sessions, EachLogonOpensItsOwnSessionUntilLogoff) {
    LHANDLE second = 0;
    ASSERT_EQ(logon(0, nullptr, nullptr, 0, 0, &second), SUCCESS_SUCCESS);
    EXPECT_NE(second, 0u);
    EXPECT_NE(second, m_session);
    EXPECT_EQ(logoff(second, 0, 0, 0), SUCCESS_SUCCESS);
    EXPECT_EQ(logoff(second, 0, 0, 0), static_cast<ULONG>(MAPI_E_INVALID_SESSION));
    char id[64];
    EXPECT_EQ(findNext(second, 0, nullptr, nullptr, 0, 0, id),
              static_cast<ULONG>(MAPI_E_INVALID_SESSION));
    EXPECT_EQ(findNext(0, 0, nullptr, nullptr, 0, 0, id),
              static_cast<ULONG>(MAPI_E_INVALID_SESSION));
    EXPECT_EQ(findNext(m_session, 0, nullptr, nullptr, 0, 0, id),
              static_cast<ULONG>(MAPI_E_NO_MESSAGES));
}

TEST_F(Sessions, RefusedLogonFailsAndLeavesTheHandle) {
    SetLogonRefused(Desktop(), true);
    LHANDLE session = 77;
    EXPECT_EQ(logon(0, nullptr, nullptr, MAPI_LOGON_UI, 0, &session),
              static_cast<ULONG>(MAPI_E_LOGIN_FAILURE));
    EXPECT_EQ(session, 77u);
    EXPECT_EQ(logon(0, nullptr, nullptr, 0, 0, nullptr), static_cast<ULONG>(MAPI_E_FAILURE));
}

TEST_F(Enumeration, WalksTheInboxInArrivalOrderAndNeverReusesIdentifiers) {
    std::uint64_t first = AddMessage(Desktop(), Mail("one"));
    std::uint64_t second = AddMessage(Desktop(), Mail("two"));
    ASSERT_LT(first, second);
    ASSERT_TRUE(DeleteMessage(Desktop(), second));
    std::uint64_t third = AddMessage(Desktop(), Mail("three"));
    EXPECT_GT(third, second);
    // Sent mail is not part of the Inbox.
    RecordSent(Desktop(), Mail("sent"));
    EXPECT_EQ(Walk(), (std::vector<std::string>{std::to_string(first), std::to_string(third)}));
}

TEST_F(Enumeration, SeedsThatVanishedContinueAfterTheirNumberAndBadSeedsAreRefused) {
    std::uint64_t a = AddMessage(Desktop(), Mail("a"));
    std::uint64_t b = AddMessage(Desktop(), Mail("b"));
    std::uint64_t c = AddMessage(Desktop(), Mail("c"));
    DeleteMessage(Desktop(), b);
    std::string seed = std::to_string(b);
    char id[64];
    ASSERT_EQ(findNext(m_session, 0, nullptr, seed.data(), 0, 0, id), SUCCESS_SUCCESS);
    EXPECT_EQ(id, std::to_string(c));
    seed = std::to_string(c);
    EXPECT_EQ(findNext(m_session, 0, nullptr, seed.data(), 0, 0, id),
              static_cast<ULONG>(MAPI_E_NO_MESSAGES));
    char bad[] = "12x";
    EXPECT_EQ(findNext(m_session, 0, nullptr, bad, 0, 0, id),
              static_cast<ULONG>(MAPI_E_INVALID_MESSAGE));
    char empty[] = "";
    ASSERT_EQ(findNext(m_session, 0, nullptr, empty, 0, 0, id), SUCCESS_SUCCESS);
    EXPECT_EQ(id, std::to_string(a));
    char otherClass[] = "IPC.Receipt";
    EXPECT_EQ(findNext(m_session, 0, otherClass, empty, 0, 0, id),
              static_cast<ULONG>(MAPI_E_NO_MESSAGES));
}

TEST_F(Enumeration, UnreadOnlyAndReceiptOrder) {
    Message late = Mail("late");
    late.received = "2024-03-06T08:00:00";
    Message early = Mail("early");
    early.received = "2024-03-01T08:00:00";
    early.unread = false;
    std::uint64_t lateId = AddMessage(Desktop(), late);
    std::uint64_t earlyId = AddMessage(Desktop(), early);
    EXPECT_EQ(Walk(MAPI_GUARANTEE_FIFO),
              (std::vector<std::string>{std::to_string(earlyId), std::to_string(lateId)}));
    EXPECT_EQ(Walk(MAPI_UNREAD_ONLY), (std::vector<std::string>{std::to_string(lateId)}));
}

TEST_F(Enumeration, ReceiptOrderBreaksTiesByNumberAndRefusesSeedsThatVanished) {
    Message same = Mail("same");
    same.received = "2024-03-02T08:00:00";
    Message earlier = Mail("earlier");
    earlier.received = "2024-03-01T08:00:00";
    std::uint64_t a = AddMessage(Desktop(), same);
    std::uint64_t b = AddMessage(Desktop(), earlier);
    std::uint64_t c = AddMessage(Desktop(), same);
    EXPECT_EQ(Walk(MAPI_GUARANTEE_FIFO),
              (std::vector<std::string>{std::to_string(b), std::to_string(a), std::to_string(c)}));
    ASSERT_TRUE(DeleteMessage(Desktop(), a));
    std::string seed = std::to_string(a);
    char id[64];
    EXPECT_EQ(findNext(m_session, 0, nullptr, seed.data(), MAPI_GUARANTEE_FIFO, 0, id),
              static_cast<ULONG>(MAPI_E_INVALID_MESSAGE));
    // Without receipt order a number beyond every identifier has nothing after it.
    char huge[] = "18446744073709551615";
    EXPECT_EQ(findNext(m_session, 0, nullptr, huge, 0, 0, id),
              static_cast<ULONG>(MAPI_E_NO_MESSAGES));
}

TEST_F(Reading, EnvelopeOnlyHasDateAndUnreadFlagButNoTextOrFiles) {
    Message message = Mail("Report", "See attached");
    message.attachments = {{"report.txt", "", 0, Bytes("quarterly")}};
    std::uint64_t id = AddMessage(Desktop(), message);
    lpMapiMessage read = nullptr;
    ASSERT_EQ(Read(id, MAPI_PEEK | MAPI_ENVELOPE_ONLY, &read), SUCCESS_SUCCESS);
    EXPECT_STREQ(read->lpszSubject, "Report");
    EXPECT_EQ(read->lpszNoteText, nullptr);
    EXPECT_STREQ(read->lpszDateReceived, "2024/03/05 09:07");
    EXPECT_EQ(read->flFlags & MAPI_UNREAD, static_cast<ULONG>(MAPI_UNREAD));
    ASSERT_EQ(read->nFileCount, 1u);
    EXPECT_EQ(read->lpFiles[0].lpszPathName, nullptr);
    EXPECT_STREQ(read->lpFiles[0].lpszFileName, "report.txt");
    EXPECT_FALSE(std::filesystem::exists(Host("C:\\Windows\\Temp\\report.txt")));
    EXPECT_EQ(freeBuffer(read), SUCCESS_SUCCESS);
}

TEST_F(Reading, PeekWritesAttachmentsToTemporaryFilesNamedByTheirNames) {
    Message message = Mail("Caf\xC3\xA9", "Line one\r\nLine two");
    message.from = {"", "ann@example.com"};
    message.recipients = {{kTo, "Bob", "bob@example.com"},
                          {kCc, "", "carol@example.com"},
                          {kBcc, "Dan", "dan@example.com"}};
    message.attachments = {{"notes.txt", "", 0, Bytes("first")},
                           {"NOTES.TXT", "", 0, Bytes("second")},
                           {"empty.bin", "", 0, {}}};
    std::uint64_t id = AddMessage(Desktop(), message);
    lpMapiMessage read = nullptr;
    ASSERT_EQ(Read(id, MAPI_PEEK, &read), SUCCESS_SUCCESS);
    EXPECT_STREQ(read->lpszSubject, "Caf\xE9");  // ANSI
    EXPECT_STREQ(read->lpszNoteText, "Line one\r\nLine two");
    EXPECT_EQ(read->lpOriginator->ulRecipClass, static_cast<ULONG>(MAPI_ORIG));
    EXPECT_STREQ(read->lpOriginator->lpszAddress, "ann@example.com");
    EXPECT_STREQ(read->lpOriginator->lpszName, "ann@example.com");
    ASSERT_EQ(read->nRecipCount, 3u);
    EXPECT_EQ(read->lpRecips[0].ulRecipClass, static_cast<ULONG>(MAPI_TO));
    EXPECT_STREQ(read->lpRecips[0].lpszName, "Bob");
    EXPECT_EQ(read->lpRecips[1].ulRecipClass, static_cast<ULONG>(MAPI_CC));
    EXPECT_STREQ(read->lpRecips[1].lpszAddress, "carol@example.com");
    EXPECT_EQ(read->lpRecips[2].ulRecipClass, static_cast<ULONG>(MAPI_BCC));

    ASSERT_EQ(read->nFileCount, 3u);
    EXPECT_STREQ(read->lpFiles[0].lpszPathName, "C:\\Windows\\Temp\\notes.txt");
    EXPECT_STREQ(read->lpFiles[0].lpszFileName, "notes.txt");
    std::string second = read->lpFiles[1].lpszPathName;
    EXPECT_NE(second, read->lpFiles[0].lpszPathName);
    EXPECT_EQ(second.substr(second.rfind('\\') + 1), "NOTES.TXT");
    EXPECT_EQ(ReadHostFile(Host(read->lpFiles[0].lpszPathName)), "first");
    EXPECT_EQ(ReadHostFile(Host(second)), "second");
    EXPECT_TRUE(std::filesystem::exists(Host(read->lpFiles[2].lpszPathName)));
    EXPECT_EQ(freeBuffer(read), SUCCESS_SUCCESS);
    // Peeking leaves the message unread.
    EXPECT_TRUE(FindMessage(Desktop(), id)->unread);
}

TEST_F(Reading, WithoutPeekTheMessageBecomesRead) {
    std::uint64_t id = AddMessage(Desktop(), Mail("x"));
    lpMapiMessage read = nullptr;
    ASSERT_EQ(Read(id, MAPI_ENVELOPE_ONLY, &read), SUCCESS_SUCCESS);
    EXPECT_EQ(read->flFlags & MAPI_UNREAD, static_cast<ULONG>(MAPI_UNREAD));
    freeBuffer(read);
    EXPECT_FALSE(FindMessage(Desktop(), id)->unread);
    ASSERT_EQ(Read(id, MAPI_PEEK | MAPI_ENVELOPE_ONLY, &read), SUCCESS_SUCCESS);
    EXPECT_EQ(read->flFlags & MAPI_UNREAD, 0u);
    freeBuffer(read);
}

TEST_F(Reading, SuppressedAttachmentsAreNotListed) {
    Message message = Mail("x");
    message.attachments = {{"a.txt", "", 0, Bytes("a")}};
    std::uint64_t id = AddMessage(Desktop(), message);
    lpMapiMessage read = nullptr;
    ASSERT_EQ(Read(id, MAPI_PEEK | MAPI_SUPPRESS_ATTACH, &read), SUCCESS_SUCCESS);
    EXPECT_EQ(read->nFileCount, 0u);
    EXPECT_STREQ(read->lpszNoteText, "Body text");
    freeBuffer(read);
}

TEST_F(Reading, UnknownIdentifiersAndStrayBuffersAreRefused) {
    lpMapiMessage read = nullptr;
    EXPECT_EQ(Read(999, MAPI_PEEK, &read), static_cast<ULONG>(MAPI_E_INVALID_MESSAGE));
    char junk[] = "abc";
    EXPECT_EQ(readMail(m_session, 0, junk, MAPI_PEEK, 0, &read),
              static_cast<ULONG>(MAPI_E_INVALID_MESSAGE));
    EXPECT_EQ(read, nullptr);
    int notABlock = 0;
    EXPECT_EQ(freeBuffer(&notABlock), static_cast<ULONG>(MAPI_E_FAILURE));
    EXPECT_EQ(freeBuffer(nullptr), SUCCESS_SUCCESS);
}

TEST_F(Sending, FilesTheMessageWithRecipientsAndAttachmentContent) {
    WriteDesktopFile("C:\\Windows\\Temp\\plan.doc", "plan bytes");
    char subject[] = "Plan", note[] = "Here it is", from[] = "device@example.com";
    char to[] = "bob@example.com", cc[] = "carol@example.com", bcc[] = "dan@example.com";
    char path[] = "C:\\Windows\\Temp\\plan.doc", shown[] = "Plan v2.doc";
    MapiRecipDesc originator{0, MAPI_ORIG, nullptr, from, 0, nullptr};
    MapiRecipDesc recips[] = {{0, MAPI_TO, nullptr, to, 0, nullptr},
                              {0, MAPI_CC, nullptr, cc, 0, nullptr},
                              {0, MAPI_BCC, nullptr, bcc, 0, nullptr}};
    MapiFileDesc files[] = {{0, 0, 0, path, nullptr, nullptr}, {0, 0, 0, path, shown, nullptr}};
    MapiMessage message{
        0,           subject, note,   nullptr, nullptr, nullptr, MAPI_UNREAD | MAPI_SENT,
        &originator, 3,       recips, 2,       files};
    ASSERT_EQ(sendMail(m_session, 0, &message, 0, 0), SUCCESS_SUCCESS);
    // A session of 0 sends through a session of its own.
    ASSERT_EQ(sendMail(0, 0, &message, 0, 0), SUCCESS_SUCCESS);

    std::vector<Message> sent = ListMessages(Desktop(), Folder::Sent);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_TRUE(ListMessages(Desktop(), Folder::Inbox).empty());
    std::optional<Message> first = FindMessage(Desktop(), sent[0].id);
    EXPECT_EQ(first->subject, "Plan");
    EXPECT_EQ(first->body, "Here it is");
    EXPECT_EQ(first->from.address, "device@example.com");
    ASSERT_EQ(first->recipients.size(), 3u);
    EXPECT_EQ(first->recipients[1].recipClass, static_cast<unsigned>(kCc));
    EXPECT_EQ(first->recipients[2].address, "dan@example.com");
    ASSERT_EQ(first->attachments.size(), 2u);
    EXPECT_EQ(first->attachments[0].fileName, "plan.doc");
    EXPECT_EQ(first->attachments[0].pathName, "C:\\Windows\\Temp\\plan.doc");
    EXPECT_EQ(first->attachments[1].fileName, "Plan v2.doc");
    EXPECT_EQ(first->attachments[1].content, Bytes("plan bytes"));
}

TEST_F(Sending, RefusesBadRecipientsAndMissingAttachmentsWithoutFilingAnything) {
    char to[] = "bob@example.com", name[] = "Bob", missing[] = "C:\\nowhere\\x.txt";
    MapiRecipDesc good{0, MAPI_TO, nullptr, to, 0, nullptr};
    MapiMessage message{};
    EXPECT_EQ(sendMail(m_session, 0, &message, 0, 0), static_cast<ULONG>(MAPI_E_INVALID_RECIPS));
    MapiRecipDesc originatorClass{0, MAPI_ORIG, nullptr, to, 0, nullptr};
    message.nRecipCount = 1;
    message.lpRecips = &originatorClass;
    EXPECT_EQ(sendMail(m_session, 0, &message, 0, 0), static_cast<ULONG>(MAPI_E_BAD_RECIPTYPE));
    MapiRecipDesc nameOnly{0, MAPI_TO, name, nullptr, 0, nullptr};
    message.lpRecips = &nameOnly;
    EXPECT_EQ(sendMail(m_session, 0, &message, 0, 0), static_cast<ULONG>(MAPI_E_UNKNOWN_RECIPIENT));
    MapiFileDesc file{0, 0, 0, missing, nullptr, nullptr};
    message.lpRecips = &good;
    message.nFileCount = 1;
    message.lpFiles = &file;
    EXPECT_EQ(sendMail(m_session, 0, &message, 0, 0),
              static_cast<ULONG>(MAPI_E_ATTACHMENT_NOT_FOUND));
    EXPECT_EQ(sendMail(m_session + 1000, 0, &message, 0, 0),
              static_cast<ULONG>(MAPI_E_INVALID_SESSION));
    EXPECT_EQ(sendMail(m_session, 0, nullptr, 0, 0), static_cast<ULONG>(MAPI_E_FAILURE));
    EXPECT_TRUE(ListMessages(Desktop(), Folder::Sent).empty());
}

TEST_F(Deleting, ADeletedMessageCannotBeReadOrDeletedAgain) {
    std::uint64_t id = AddMessage(Desktop(), Mail("gone"));
    std::string text = std::to_string(id);
    ASSERT_EQ(deleteMail(m_session, 0, text.data(), 0, 0), SUCCESS_SUCCESS);
    lpMapiMessage read = nullptr;
    EXPECT_EQ(Read(id, MAPI_PEEK | MAPI_ENVELOPE_ONLY, &read),
              static_cast<ULONG>(MAPI_E_INVALID_MESSAGE));
    EXPECT_EQ(deleteMail(m_session, 0, text.data(), 0, 0),
              static_cast<ULONG>(MAPI_E_INVALID_MESSAGE));
    EXPECT_EQ(deleteMail(0, 0, text.data(), 0, 0), static_cast<ULONG>(MAPI_E_INVALID_SESSION));
    EXPECT_TRUE(Walk().empty());
}

}  // namespace
}  // namespace mailclient_testing
