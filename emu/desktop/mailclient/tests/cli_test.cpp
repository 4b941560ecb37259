// velumex desktop mail: the commands over a world of their own, run as a user runs them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "mailclient_testing/mail_client_test.h"

#include "pal_testing/command_run.h"

namespace mailclient_testing {
namespace {

using Outcome = pal_testing::CommandOutcome;

class MailCommands : public ::testing::Test {
protected:
    MailCommands() {
        m_dir = std::filesystem::temp_directory_path() /
                ("velumex_mail_cli_" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        EXPECT_EQ(Velumex("world create").status, 0);
    }
    ~MailCommands() override { std::filesystem::remove_all(m_dir); }

    Outcome Velumex(const std::string& arguments) {
        return pal_testing::RunOnWorld(VELUMEX_CLI, m_dir / "world", arguments, m_dir);
    }

    std::string HostFile(const std::string& name, const std::string& content) {
        std::filesystem::path path = m_dir / name;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    std::filesystem::path m_dir;
};

TEST_F(MailCommands, AddListShowMarkDelete) {
    std::string body = HostFile("body.txt", "Hello\nCaf\xE9\n");  // Windows-1252 text
    std::string attachment = HostFile("report.txt", "numbers");
    Outcome added = Velumex(
        "desktop mail add --from ann@example.com --from-name 'Ann S' --to "
        "bob@example.com carol@example.com --cc dan@example.com --bcc "
        "eve@example.com --subject 'Quarter' --body-file '" +
        body + "' --attach '" + attachment + "' --unread --received 2024-03-05T09:07");
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(added.out, "added message 1\n");
    ASSERT_EQ(Velumex("desktop mail add --from z@example.com --to bob@example.com --subject "
                      "Second --received 2024-03-06")
                  .status,
              0);

    Outcome list = Velumex("desktop mail list");
    EXPECT_EQ(list.out,
              "     1 unread 2024-03-05T09:07:00 \"Ann S\" <ann@example.com>  Quarter  "
              "[1 attachment]\n"
              "     2 read   2024-03-06T00:00:00 z@example.com  Second\n");

    Outcome show = Velumex("desktop mail show 1");
    EXPECT_NE(show.out.find("To:       carol@example.com\n"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("Bcc:      eve@example.com\n"), std::string::npos);
    EXPECT_NE(show.out.find("Attached: report.txt (7 bytes)\n"), std::string::npos);
    EXPECT_NE(show.out.find("\nHello\nCaf\xC3\xA9\n"), std::string::npos);

    EXPECT_EQ(Velumex("desktop mail mark 1 read").out, "message 1 is read\n");
    EXPECT_EQ(Velumex("desktop mail delete 2").out, "deleted message 2\n");
    EXPECT_EQ(Velumex("desktop mail list").out,
              "     1 read   2024-03-05T09:07:00 \"Ann S\" <ann@example.com>  Quarter  "
              "[1 attachment]\n");
}

TEST_F(MailCommands, MarksEveryInboxMessageAtOnce) {
    for (const char* subject : {"One", "Two"})
        ASSERT_EQ(Velumex(std::string("desktop mail add --unread --from a@b --to c@d --subject ") +
                          subject + " --received 2024-03-05")
                      .status,
                  0);
    EXPECT_EQ(Velumex("desktop mail mark --all read").out, "2 messages are read\n");
    EXPECT_EQ(Velumex("desktop mail list").out,
              "     1 read   2024-03-05T00:00:00 a@b  One\n"
              "     2 read   2024-03-05T00:00:00 a@b  Two\n");
    EXPECT_EQ(Velumex("desktop mail mark --all unread").out, "2 messages are unread\n");
    EXPECT_EQ(Velumex("desktop mail mark --all 1 read").err,
              "velumex: mark --all takes only the state: read or unread\n");
    EXPECT_EQ(Velumex("desktop mail mark 1").err,
              "velumex: mark takes a message identifier and read or unread\n");
    EXPECT_EQ(Velumex("desktop mail mark --all maybe").err,
              "velumex: 'maybe' is neither read nor unread\n");
    EXPECT_NE(Velumex("desktop mail list").out.find("     2 unread "), std::string::npos);
}

TEST_F(MailCommands, RefusesBadInputWithAClearMessage) {
    Outcome missing = Velumex("desktop mail show 7");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "velumex: no message 7\n");
    EXPECT_EQ(Velumex("desktop mail delete 7").status, 1);
    EXPECT_EQ(Velumex("desktop mail mark 7 read").err, "velumex: no message 7\n");
    EXPECT_NE(Velumex("desktop mail mark 1 maybe").status, 0);
    EXPECT_EQ(Velumex("desktop mail show x1").err, "velumex: 'x1' is not a message identifier\n");
    Outcome date =
        Velumex("desktop mail add --from a@b --to c@d --subject s --received 2024-02-30");
    EXPECT_EQ(date.status, 1);
    EXPECT_NE(date.err.find("--received"), std::string::npos);
    EXPECT_EQ(Velumex("desktop mail add --from a@b --to c@d --subject s --attach '" +
                      (m_dir / "none").string() + "'")
                  .status,
              1);
    EXPECT_NE(Velumex("desktop mail add --to c@d --subject s").status, 0);
    EXPECT_EQ(Velumex("desktop mail list").out, "the Inbox is empty\n");
}

TEST_F(MailCommands, InstallThenSentShowsWhatTheLibrarySent) {
    Outcome install = Velumex("desktop mail install");
    ASSERT_EQ(install.status, 0) << install.err;
    EXPECT_EQ(Velumex("desktop mail sent").out, "nothing was sent\n");
    {
        auto world = pal::World::Open(m_dir / "world");
        pal::ScopedContext context(world->Desktop());
        std::string path = RegisteredLibraryPath();
        HMODULE module = LoadLibraryA(path.c_str());
        ASSERT_NE(module, nullptr);
        auto send = reinterpret_cast<LPMAPISENDMAIL>(GetProcAddress(module, "MAPISendMail"));
        char subject[] = "From the device", to[] = "bob@example.com";
        MapiRecipDesc recip{0, MAPI_CC, nullptr, to, 0, nullptr};
        MapiMessage message{0, subject, nullptr, nullptr, nullptr, nullptr,
                            0, nullptr, 1,       &recip,  0,       nullptr};
        EXPECT_EQ(send(0, 0, &message, 0, 0), SUCCESS_SUCCESS);
        FreeLibrary(module);
    }
    Outcome sent = Velumex("desktop mail sent");
    EXPECT_NE(sent.out.find("Id:       1 (sent)\n"), std::string::npos) << sent.out;
    EXPECT_NE(sent.out.find("Cc:       bob@example.com\n"), std::string::npos);
    EXPECT_NE(sent.out.find("Subject:  From the device\n"), std::string::npos);
}

}  // namespace
}  // namespace mailclient_testing
