// velumex desktop mail packet: the packet of an Inbox message as the engine reads it through the
// installed provider, run as a user runs the command.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "pal_testing/command_run.h"

namespace {

using Outcome = pal_testing::CommandOutcome;

class MailPacketCommand : public ::testing::Test {
protected:
    MailPacketCommand() {
        m_dir = std::filesystem::temp_directory_path() /
                ("velumex_mail_packet_" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        for (const char* step :
             {"world create", "desktop mail install", "desktop install", "partner create"})
            EXPECT_EQ(Velumex(step).status, 0) << step;
    }
    ~MailPacketCommand() override { std::filesystem::remove_all(m_dir); }

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

TEST_F(MailPacketCommand, PrintsThePacketWritesItAndListsTheDeviceFiles) {
    std::string body = HostFile("body.txt", "one\ntwo\nthree\n");
    std::string attachment = HostFile("notes.txt", "attached");
    ASSERT_EQ(Velumex("desktop mail add --from ann@example.com --from-name Ann --to "
                      "bob@example.com --subject Plans --body-file '" +
                      body + "' --attach '" + attachment + "'")
                  .status,
              0);

    Outcome offline = Velumex("desktop mail packet 1");
    EXPECT_EQ(offline.status, 1);
    EXPECT_NE(offline.err.find("not connected"), std::string::npos) << offline.err;

    ASSERT_EQ(Velumex("device connect").status, 0);
    std::string raw = (m_dir / "packet.bin").string();
    Outcome shown = Velumex("desktop mail packet 1 --out '" + raw + "'");
    ASSERT_EQ(shown.status, 0) << shown.err;
    for (const char* line : {"GetPacket: 0x00140001\n", "\"\\\"Ann\\\" <ann@example.com>\"\n",
                             "record 1: state ' ' (32), size 8, number 0, name \"notes.txt\"\n",
                             "PR_BODY_W                  string       \"1\"\n",
                             "PR_MESSAGE_SIZE            int32        28 (0x0000001C)\n",
                             "PR_MSG_STATUS              int32        336592896 (0x14100000)\n",
                             "read 13 of 13 properties announced\n",
                             "device temporary folder \\Temp\\:\n", "  1  30 bytes\n"})
        EXPECT_NE(shown.out.find(line), std::string::npos) << line << "\n" << shown.out;

    std::string packet = pal_testing::ReadHostFile(raw);
    EXPECT_NE(shown.out.find("(" + std::to_string(packet.size()) + " bytes)"), std::string::npos);
    ASSERT_GE(packet.size(), 4u);
    EXPECT_EQ(packet.substr(0, 4), std::string("\x0D\0\0\0", 4));

    Outcome missing = Velumex("desktop mail packet 7");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("message 7"), std::string::npos) << missing.err;
    EXPECT_EQ(Velumex("desktop mail packet 1x").status, 1);
}

}  // namespace
