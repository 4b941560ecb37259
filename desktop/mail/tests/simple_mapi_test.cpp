// CSimpleMAPI, the desktop provider's wrapper, over the installed mail client.
#include "simple_mapi.h"

#include "mailclient_testing/mail_client_test.h"

namespace mailclient_testing {
namespace {

using SimpleMapi = MailClientTest;
using SimpleMapiWithoutLibrary = MailClientTest;

TEST_F(SimpleMapi, AnEmptyInboxEndsTheFirstFindNext) {
    CSimpleMAPI mapi(m_libraryPath.c_str());
    char id[SIMPLE_MAPI_ID_SIZE];
    EXPECT_EQ(mapi.FindNext("", id), static_cast<ULONG>(MAPI_E_NO_MESSAGES));
}

TEST_F(SimpleMapi, EnumeratesAndReadsEnvelopesWithoutMarkingRead) {
    std::uint64_t first = AddMessage(Desktop(), Mail("one"));
    Message second = Mail("two");
    second.unread = false;
    second.attachments = {{"a.txt", "", 0, Bytes("a")}};
    std::uint64_t secondId = AddMessage(Desktop(), second);

    CSimpleMAPI mapi(m_libraryPath.c_str());
    char id[SIMPLE_MAPI_ID_SIZE];
    ASSERT_EQ(mapi.FindNext("", id), SUCCESS_SUCCESS);
    EXPECT_EQ(id, std::to_string(first));
    lpMapiMessage message = nullptr;
    ASSERT_EQ(mapi.ReadMail(id, MAPI_PEEK | MAPI_ENVELOPE_ONLY, &message), SUCCESS_SUCCESS);
    EXPECT_EQ(message->flFlags & MAPI_UNREAD, static_cast<ULONG>(MAPI_UNREAD));
    EXPECT_STREQ(message->lpszDateReceived, "2024/03/05 09:07");
    EXPECT_EQ(message->lpszNoteText, nullptr);
    mapi.FreeBuffer(message);

    char next[SIMPLE_MAPI_ID_SIZE];
    ASSERT_EQ(mapi.FindNext(id, next), SUCCESS_SUCCESS);
    EXPECT_EQ(next, std::to_string(secondId));
    ASSERT_EQ(mapi.ReadMail(next, 0xC0, &message), SUCCESS_SUCCESS);
    EXPECT_EQ(message->flFlags & MAPI_UNREAD, 0u);
    EXPECT_EQ(message->lpFiles[0].lpszPathName, nullptr);
    mapi.FreeBuffer(message);
    EXPECT_EQ(mapi.FindNext(next, id), static_cast<ULONG>(MAPI_E_NO_MESSAGES));
    EXPECT_TRUE(FindMessage(Desktop(), first)->unread);
}

TEST_F(SimpleMapi, FullReadsWriteAttachmentFiles) {
    Message mail = Mail("files");
    mail.attachments = {{"a.txt", "", 0, Bytes("alpha")}};
    std::uint64_t id = AddMessage(Desktop(), mail);
    CSimpleMAPI mapi(m_libraryPath.c_str());
    lpMapiMessage message = nullptr;
    ASSERT_EQ(mapi.ReadMail(std::to_string(id).c_str(), 0x80, &message), SUCCESS_SUCCESS);
    EXPECT_STREQ(message->lpszNoteText, "Body text");
    ASSERT_EQ(message->nFileCount, 1u);
    EXPECT_EQ(ReadHostFile(Host(message->lpFiles[0].lpszPathName)), "alpha");
    mapi.FreeBuffer(message);
}

TEST_F(SimpleMapi, AMessageDeletedInTheClientReadsAsInvalid) {
    std::uint64_t id = AddMessage(Desktop(), Mail("gone"));
    CSimpleMAPI mapi(m_libraryPath.c_str());
    DeleteMessage(Desktop(), id);
    lpMapiMessage message = nullptr;
    EXPECT_EQ(mapi.ReadMail(std::to_string(id).c_str(), 0xC0, &message),
              static_cast<ULONG>(MAPI_E_INVALID_MESSAGE));
}

TEST_F(SimpleMapi, SendsAndDeletesThroughTheSendSession) {
    std::uint64_t id = AddMessage(Desktop(), Mail("old"));
    CSimpleMAPI mapi(m_libraryPath.c_str());
    char subject[] = "Hi", to[] = "bob@example.com";
    MapiRecipDesc recip{0, MAPI_TO, nullptr, to, 0, nullptr};
    MapiMessage message{0, subject, nullptr, nullptr, nullptr, nullptr,
                        0, nullptr, 1,       &recip,  0,       nullptr};
    EXPECT_EQ(mapi.SendMail(reinterpret_cast<HWND>(0x1234), &message), SUCCESS_SUCCESS);
    ASSERT_EQ(ListMessages(Desktop(), Folder::Sent).size(), 1u);
    EXPECT_EQ(mapi.DeleteMail(std::to_string(id).c_str()), SUCCESS_SUCCESS);
    EXPECT_FALSE(FindMessage(Desktop(), id));
    EXPECT_EQ(mapi.DeleteMail(std::to_string(id).c_str()),
              static_cast<ULONG>(MAPI_E_INVALID_MESSAGE));
}

TEST_F(SimpleMapi, FailedLogonsLeaveSessionZeroAndTheLibraryAnswers) {
    AddMessage(Desktop(), Mail("x"));
    SetLogonRefused(Desktop(), true);
    CSimpleMAPI mapi(m_libraryPath.c_str());
    char id[SIMPLE_MAPI_ID_SIZE];
    EXPECT_EQ(mapi.FindNext("", id), static_cast<ULONG>(MAPI_E_INVALID_SESSION));
    EXPECT_EQ(mapi.DeleteMail("1"), static_cast<ULONG>(MAPI_E_INVALID_SESSION));
    char to[] = "bob@example.com";
    MapiRecipDesc recip{0, MAPI_TO, nullptr, to, 0, nullptr};
    MapiMessage message{0, nullptr, nullptr, nullptr, nullptr, nullptr,
                        0, nullptr, 1,       &recip,  0,       nullptr};
    // Session 0 asks the library for a session of its own, which it refuses as well.
    EXPECT_EQ(mapi.SendMail(nullptr, &message), static_cast<ULONG>(MAPI_E_LOGIN_FAILURE));
}

TEST_F(SimpleMapi, DestructionLogsOffAndUnloadsTheLibrary) {
    {
        CSimpleMAPI mapi(m_libraryPath.c_str());
        EXPECT_NE(GetModuleHandleA(m_libraryPath.c_str()), nullptr);
    }
    EXPECT_EQ(GetModuleHandleA(m_libraryPath.c_str()), nullptr);
}

// Every operation fails with one result that is neither the end of the messages nor a vanished
// message, and calls nothing.
void ExpectNoLibrary(CSimpleMAPI& mapi) {
    char id[SIMPLE_MAPI_ID_SIZE] = "untouched";
    EXPECT_EQ(mapi.FindNext("", id), static_cast<ULONG>(SIMPLE_MAPI_NO_LIBRARY));
    EXPECT_STREQ(id, "untouched");
    lpMapiMessage message = nullptr;
    EXPECT_EQ(mapi.ReadMail("1", 0xC0, &message), static_cast<ULONG>(SIMPLE_MAPI_NO_LIBRARY));
    EXPECT_EQ(message, nullptr);
    MapiMessage outgoing{};
    EXPECT_EQ(mapi.SendMail(nullptr, &outgoing), static_cast<ULONG>(SIMPLE_MAPI_NO_LIBRARY));
    EXPECT_EQ(mapi.DeleteMail("1"), static_cast<ULONG>(SIMPLE_MAPI_NO_LIBRARY));
    int block = 0;
    mapi.FreeBuffer(&block);
    static_assert(SIMPLE_MAPI_NO_LIBRARY != SUCCESS_SUCCESS &&
                  SIMPLE_MAPI_NO_LIBRARY != MAPI_E_NO_MESSAGES &&
                  SIMPLE_MAPI_NO_LIBRARY != MAPI_E_INVALID_MESSAGE);
}

TEST_F(SimpleMapiWithoutLibrary, NoPathOrAWrongPath) {
    AddMessage(Desktop(), Mail("x"));
    CSimpleMAPI empty("");
    ExpectNoLibrary(empty);
    CSimpleMAPI wrong("C:\\Program Files\\Nothing\\none.dll");
    ExpectNoLibrary(wrong);
}

TEST_F(SimpleMapiWithoutLibrary, ALibraryWithoutTheCallsIsNotKept) {
    // The mail program is a loadable module with no Simple MAPI exports.
    std::string program = pal::U8(kMailProgramPath);
    {
        CSimpleMAPI mapi(program.c_str());
        ExpectNoLibrary(mapi);
        EXPECT_EQ(GetModuleHandleA(program.c_str()), nullptr);
    }
}

}  // namespace
}  // namespace mailclient_testing
