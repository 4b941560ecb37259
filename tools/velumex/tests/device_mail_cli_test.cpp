// velumex device mail stores | compose | list | show | move | delete, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "pal_testing/command_run.h"

namespace {

using Outcome = pal_testing::CommandOutcome;

class DeviceMailCommands : public ::testing::Test {
protected:
    DeviceMailCommands() {
        m_dir = std::filesystem::temp_directory_path() /
                ("velumex_device_mail_cli_" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        EXPECT_EQ(Velumex("world create").status, 0);
    }
    ~DeviceMailCommands() override { std::filesystem::remove_all(m_dir); }

    Outcome Velumex(const std::string& arguments) {
        return pal_testing::RunOnWorld(VELUMEX_CLI, m_dir / "world", arguments, m_dir);
    }

    std::string File(const std::string& name, const std::string& content) {
        auto path = m_dir / name;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    std::filesystem::path m_dir;
};

TEST_F(DeviceMailCommands, ComposedMessageIsListedShownMovedAndDeleted) {
    Outcome none = Velumex("device mail list");
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("no message store"), std::string::npos);
    ASSERT_EQ(Velumex("device mail stores --create 'Outlook Express'").status, 0);

    std::string body = File("body.txt", "First line\r\nSecond line\r\n");
    std::string attachment = File("notes.txt", "twelve bytes");
    Outcome composed = Velumex("device mail compose --to 'Ann Smith <ann@example.com>' --to bob@example.com"
                               " --cc carol@example.com --subject 'Lunch?' --body-file '" + body +
                               "' --attach '" + attachment + "'");
    ASSERT_EQ(composed.status, 0) << composed.err;
    std::string id = composed.out.substr(std::string("composed message ").size());
    id = id.substr(0, id.find(' '));

    Outcome listed = Velumex("device mail list --folder Outbox");
    EXPECT_NE(listed.out.find("Outbox"), std::string::npos);
    EXPECT_NE(listed.out.find("Lunch?  [1 attachment]"), std::string::npos);

    Outcome shown = Velumex("device mail show " + id);
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("Class:     IPM.Note\n"), std::string::npos);
    EXPECT_NE(shown.out.find("To:        \"Ann Smith\" <ann@example.com>\nTo:        bob@example.com\n"
                             "Cc:        carol@example.com\n"),
              std::string::npos);
    EXPECT_NE(shown.out.find("Attached:  1 notes.txt (12 bytes, status 0x00000000, 12 bytes on the device)"),
              std::string::npos);
    EXPECT_NE(shown.out.find("\nFirst line\r\nSecond line\r\n"), std::string::npos);

    EXPECT_EQ(Velumex("device mail move " + id + " 'deleted items'").status, 0);
    EXPECT_EQ(Velumex("device mail list --folder Outbox").out, "no messages\n");
    EXPECT_NE(Velumex("device mail list").out.find("Deleted Items"), std::string::npos);
    EXPECT_EQ(Velumex("device mail delete " + id).status, 0);
    Outcome gone = Velumex("device mail show " + id);
    EXPECT_EQ(gone.status, 1);
    EXPECT_NE(gone.err.find("no message " + id), std::string::npos);
}

TEST_F(DeviceMailCommands, BadInputIsRefusedWithAClearError) {
    ASSERT_EQ(Velumex("device mail stores --create 'Outlook Express'").status, 0);
    ASSERT_EQ(Velumex("device mail stores --create Other").status, 0);
    // Two stores and no account registered: the command needs to be told which.
    Outcome which = Velumex("device mail list");
    EXPECT_EQ(which.status, 1);
    EXPECT_NE(which.err.find("--account"), std::string::npos);
    EXPECT_EQ(Velumex("device mail list --account other").status, 0);
    EXPECT_EQ(Velumex("device mail stores --create Other").status, 1);
    EXPECT_EQ(Velumex("device mail compose --account Other --to ' <>' --subject x").status, 1);
    EXPECT_EQ(Velumex("device mail compose --account Other --to a@b.c --subject x --attach '" +
                      (m_dir / "missing").string() + "'")
                  .status,
              1);
    EXPECT_EQ(Velumex("device mail move --account Other 1x Inbox").status, 1);
    EXPECT_EQ(Velumex("device mail move --account Other 7 Root").status, 1);
    EXPECT_EQ(Velumex("device mail list --account Other").out, "no messages\n");
}

}  // namespace
