// The mail roads driven from the command line as a user drives them: the device set up with its
// account, store and notification service; each device command brings the device's services up
// so that they journal its changes as they happen; `velumex sync` carries them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "pal_testing/command_run.h"

namespace {

using Outcome = pal_testing::CommandOutcome;

class MailRoadsCommand : public ::testing::Test {
protected:
    MailRoadsCommand() {
        m_dir = std::filesystem::temp_directory_path() /
                ("velumex_roads_cli_" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        std::string body;
        for (int line = 1; line <= 60; ++line) body += "line " + std::to_string(line) + "\n";
        Write("body.txt", body);
        Write("agenda.txt", "1. Budget\n2. Garden\n");
        Write("answer.txt", "Agreed.\n");
        for (const std::string& step :
             {std::string("world create"), std::string("desktop mail install"),
              "desktop mail add --from ann@example.com --from-name 'Ann Archer' --to me@example.com "
              "--subject Minutes "
              "--body-file '" + Path("body.txt") + "' --attach '" + Path("agenda.txt") + "'",
              std::string("desktop install"), std::string("device install-provider"),
              std::string("reg set device 'HKLM\\Software\\Microsoft\\Inbox\\Svc\\Kestrin' "
                          "FriendlyName REG_SZ Kestrin"),
              std::string("reg set device 'HKCU\\Software\\Quorvane\\Velumex' ID REG_DWORD 0"),
              std::string("device mail stores --create Kestrin"),
              std::string("device install-service"), std::string("device boot"),
              std::string("partner create --device-type PocketPC"),
              std::string("device connect")}) {
            Outcome outcome = Velumex(step);
            EXPECT_EQ(outcome.status, 0) << step << "\n" << outcome.out << outcome.err;
        }
    }
    ~MailRoadsCommand() override { std::filesystem::remove_all(m_dir); }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(m_dir / name, std::ios::binary) << text;
    }
    Outcome Velumex(const std::string& arguments) {
        return pal_testing::RunOnWorld(VELUMEX_CLI, m_dir / "world", arguments, m_dir);
    }
    // Runs a command that must succeed and answers what it printed.
    std::string Run(const std::string& arguments) {
        Outcome outcome = Velumex(arguments);
        EXPECT_EQ(outcome.status, 0) << arguments << "\n" << outcome.out << outcome.err;
        return outcome.out;
    }
    // The id of the first message of a device listing whose line holds `subject`.
    static std::string IdOf(const std::string& listing, const std::string& subject) {
        std::istringstream lines(listing);
        std::string line;
        while (std::getline(lines, line))
            if (line.find(subject) != std::string::npos) {
                std::istringstream fields(line);
                std::string id;
                fields >> id;
                return id;
            }
        return {};
    }
    static bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }

    std::filesystem::path m_dir;
};

TEST_F(MailRoadsCommand, MailTravelsBothWaysOnDemandAndThenNothingIsLeftToDo) {
    std::string first = Run("sync");
    EXPECT_TRUE(Has(first, "to device: 1 created")) << first;
    std::string id = IdOf(Run("device mail list --folder Inbox"), "Minutes");
    ASSERT_FALSE(id.empty());
    // The body arrives cut at the default 50 lines, the attachment is left on the desktop.
    std::string shown = Run("device mail show " + id);
    EXPECT_TRUE(Has(shown, "From:      \"Ann Archer\" <ann@example.com>\n")) << shown;
    EXPECT_TRUE(Has(shown, "line 50\n")) << shown;
    EXPECT_FALSE(Has(shown, "line 51\n")) << shown;
    EXPECT_TRUE(Has(shown, "agenda.txt")) << shown;
    EXPECT_TRUE(Has(shown, "0 bytes on the device")) << shown;
    std::string again = Run("sync");
    EXPECT_TRUE(Has(again, "nothing to do")) << again;

    // The device's user asks for the whole message, then for the attachment.
    Run("device mail request " + id + " --body");
    Run("sync");
    shown = Run("device mail show " + id);
    EXPECT_TRUE(Has(shown, "line 60\n")) << shown;
    Run("device mail request " + id + " --attachment 1");
    Run("sync");
    shown = Run("device mail show " + id);
    EXPECT_TRUE(Has(shown, "20 bytes on the device")) << shown;
    again = Run("sync");
    EXPECT_TRUE(Has(again, "nothing to do")) << again;

    // A reply written on the device is sent by the desktop; the device keeps no copy (the
    // default options ask for none).
    Run("device mail compose --to 'Ann <ann@example.com>' --subject 'Re: Minutes' --body Thanks "
        "--attach '" + Path("answer.txt") + "'");
    std::string sent = Run("sync");
    // Sent, the message leaves the device's Outbox.
    EXPECT_TRUE(Has(sent, "to device: 0 created, 0 changed, 1 deleted")) << sent;
    std::string desktop = Run("desktop mail sent");
    EXPECT_TRUE(Has(desktop, "Re: Minutes")) << desktop;
    EXPECT_TRUE(Has(desktop, "answer.txt")) << desktop;
    EXPECT_EQ(Run("device mail list --folder Outbox"), "no messages\n");
    EXPECT_EQ(Run("device mail list --folder 'Sent Items'"), "no messages\n");
    again = Run("sync");
    EXPECT_TRUE(Has(again, "nothing to do")) << again;

    // A message deleted on the device is deleted on the desktop.
    Run("device mail delete " + id);
    Run("sync");
    desktop = Run("desktop mail list");
    EXPECT_FALSE(Has(desktop, " Minutes")) << desktop;
    again = Run("sync");
    EXPECT_TRUE(Has(again, "nothing to do")) << again;
}

TEST_F(MailRoadsCommand, OneRequestedAttachmentOfThreeIsDeliveredAndTheOthersStayBehind) {
    Write("a.txt", "first\n");
    Write("b.txt", "second one\n");
    Write("c.txt", "third\n");
    Run("desktop mail add --from ann@example.com --to me@example.com --subject Files "
        "--body-file '" + Path("agenda.txt") + "' --attach '" + Path("a.txt") + "' --attach '" +
        Path("b.txt") + "' --attach '" + Path("c.txt") + "'");
    Run("sync");
    std::string id = IdOf(Run("device mail list --folder Inbox"), "Files");
    ASSERT_FALSE(id.empty());
    Run("device mail request " + id + " --attachment 2");
    std::string served = Run("sync");
    EXPECT_TRUE(Has(served, "to desktop: 0 created, 1 changed")) << served;
    std::string shown = Run("device mail show " + id);
    EXPECT_TRUE(Has(shown, "1 a.txt (6 bytes, status 0x00010000, 0 bytes on the device)")) << shown;
    EXPECT_TRUE(Has(shown, "2 b.txt (11 bytes, status 0x00000000, 11 bytes on the device)"))
        << shown;
    EXPECT_TRUE(Has(shown, "3 c.txt (6 bytes, status 0x00010000, 0 bytes on the device)")) << shown;
    // The attachments request is served; some attachments are still not on the device.
    EXPECT_TRUE(Has(shown, "Status:    0x04")) << shown;
    EXPECT_FALSE(Has(shown, "Status:    0x042")) << shown;
    std::string again = Run("sync");
    EXPECT_TRUE(Has(again, "nothing to do")) << again;
}

}  // namespace
