// velumex device install-service, boot and service start|stop|status, run as a user runs them.
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

class DeviceServiceCommands : public ::testing::Test {
protected:
    DeviceServiceCommands() {
        m_dir = std::filesystem::temp_directory_path() /
                ("velumex_service_cli_" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        EXPECT_EQ(Velumex("world create").status, 0);
    }
    ~DeviceServiceCommands() override { std::filesystem::remove_all(m_dir); }

    Outcome Velumex(const std::string& arguments) {
        return pal_testing::RunOnWorld(VELUMEX_CLI, m_dir / "world", arguments, m_dir);
    }
    static bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }

    std::filesystem::path m_dir;
};

TEST_F(DeviceServiceCommands, BootStartsTheInstalledServiceWhichStopsAndStartsByName) {
    Outcome none = Velumex("device boot");
    EXPECT_EQ(none.status, 0);
    EXPECT_TRUE(Has(none.out, "no services are registered"));

    Outcome install = Velumex("device install-service");
    ASSERT_EQ(install.status, 0) << install.err;
    Outcome boot = Velumex("device boot");
    EXPECT_EQ(boot.status, 0) << boot.err;
    EXPECT_TRUE(Has(boot.out, "started KTNotif")) << boot.out;
    // The service made the journals' volume and the contacts journal at its start.
    Outcome journal = Velumex("device journal --type Address");
    EXPECT_EQ(journal.status, 0) << journal.err;
    EXPECT_TRUE(Has(journal.out, "Address journal")) << journal.out;

    Outcome status = Velumex("device service status");
    EXPECT_TRUE(Has(status.out, "KTNotif")) << status.out;
    EXPECT_TRUE(Has(status.out, "running")) << status.out;
    EXPECT_TRUE(Has(status.out, "KTN0:")) << status.out;

    EXPECT_EQ(Velumex("device service stop").status, 0);
    EXPECT_TRUE(Has(Velumex("device service status").out, "stopped"));
    Outcome again = Velumex("device service stop");
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(Has(again.err, "KTNotif does not run")) << again.err;

    Outcome start = Velumex("device service start KTNotif");
    EXPECT_EQ(start.status, 0) << start.err;
    EXPECT_TRUE(Has(start.out, "started KTNotif")) << start.out;
    EXPECT_TRUE(Has(Velumex("device service status").out, "running"));
    Outcome unknown = Velumex("device service start Nothing");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_TRUE(Has(unknown.err, "Nothing did not start")) << unknown.err;
}

// The number in "composed message N in the Outbox".
std::string ComposedId(const std::string& out) {
    auto at = out.find("composed message ");
    if (at == std::string::npos) return "";
    at += 17;
    return out.substr(at, out.find(' ', at) - at);
}

TEST_F(DeviceServiceCommands, MailOfTheAccountShowsInTheJournalAndTheObjectList) {
    for (const char* step :
         {"device install-provider", "device install-service",
          "reg set device 'HKLM\\Software\\Microsoft\\Inbox\\Svc\\Kestrin' FriendlyName "
          "REG_SZ Kestrin",
          "device mail stores --create Kestrin", "device boot"}) {
        Outcome run = Velumex(step);
        ASSERT_EQ(run.status, 0) << step << ": " << run.err;
    }
    Outcome composed = Velumex("device mail compose --to ann@example.com --subject Hello --body Hi");
    ASSERT_EQ(composed.status, 0) << composed.err;
    std::string first = ComposedId(composed.out);
    ASSERT_FALSE(first.empty()) << composed.out;
    Outcome journal = Velumex("device journal --type Message");
    EXPECT_TRUE(Has(journal.out, "ChangeState=0x0003")) << journal.out;

    // A draft has no record; the composed message moved to Deleted Items keeps state 3.
    Outcome draft = Velumex("device mail compose --to bob@example.com --subject Draft --body Hi");
    EXPECT_EQ(Velumex("device mail move " + ComposedId(draft.out) + " Drafts").status, 0);
    EXPECT_EQ(Velumex("device mail move " + first + " 'Deleted Items'").status, 0);
    EXPECT_EQ(Velumex("device service stop").status, 0);
    EXPECT_EQ(Velumex("device mail compose --to cy@example.com --subject Later --body Hi").status,
              0);
    EXPECT_EQ(Velumex("device service start").status, 0);
    journal = Velumex("device journal --type Message");
    size_t records = 0;
    for (size_t at = journal.out.find("MessageEntryId="); at != std::string::npos;
         at = journal.out.find("MessageEntryId=", at + 1))
        ++records;
    EXPECT_EQ(records, 2u) << journal.out;
    EXPECT_FALSE(Has(journal.out, "ChangeState=0x0000")) << journal.out;
    Outcome objects = Velumex("device objects --type Message --partner 1");
    EXPECT_EQ(objects.status, 0) << objects.err;
    EXPECT_TRUE(Has(objects.out, "unchanged 0")) << objects.out;
    EXPECT_TRUE(Has(objects.out, "changed 2")) << objects.out;
}

}  // namespace
