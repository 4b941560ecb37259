// velumex sync and velumex sync state, run as a user runs them, on a world whose device keeps the
// packets the desktop provider sends.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "activesync/device_host.h"
#include "activesync/partnerships.h"
#include "pal/runtime/module_install.h"
#include "pal/runtime/registry_store.h"
#include "pal/runtime/world.h"

#include "pal_testing/command_run.h"

namespace {

using Outcome = pal_testing::CommandOutcome;

class SyncCommand : public ::testing::Test {
protected:
    SyncCommand() {
        m_dir = std::filesystem::temp_directory_path() /
                ("velumex_sync_cli_" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        for (const char* step :
             {"world create", "desktop mail install",
              "desktop mail add --from ann@example.com --to bob@example.com --subject One",
              "desktop mail add --from ann@example.com --to bob@example.com --subject Two",
              "desktop install", "partner create", "device connect"})
            EXPECT_EQ(Velumex(step).status, 0) << step;
        // The device side as the scenario needs it: a provider keeping the packets, the
        // device's settings key; the partnership synchronizes mail only.
        auto world = pal::World::Open(m_dir / "world");
        pal::Machine& device = world->Device();
        pal::InstallModule(device, std::string(VELUMEX_MODULE_DIR) + "/scenario_packet_keeper.so",
                           u"\\Windows\\Keeper.dll");
        pal::RegistryStore deviceRegistry(device);
        deviceRegistry.SetString(std::u16string(u"HKLM\\") + activesync::kDeviceObjectsKey +
                                     u"\\Message",
                                 u"Store", u"\\Windows\\Keeper.dll");
        deviceRegistry.CreateKey(u"HKCU\\Software\\Quorvane\\Velumex");
        pal::RegistryStore desktopRegistry(world->Desktop());
        auto partnerships = activesync::ListPartnerships(world->Desktop(), device);
        EXPECT_EQ(partnerships.size(), 1u);
        std::u16string objects = activesync::PartnershipKeyPath(partnerships.at(0).id) + u"\\" +
                                 std::u16string(activesync::kObjectsSubkey);
        for (const auto& object : partnerships.at(0).objects)
            desktopRegistry.SetDword(objects + u"\\" + object.type, u"Disabled", 1);
        desktopRegistry.SetDword(objects + u"\\Message", u"Disabled", 0);
        desktopRegistry.SetString(objects + u"\\Message", u"Store", u"KV.WinCE.OE.3");
    }
    ~SyncCommand() override { std::filesystem::remove_all(m_dir); }

    Outcome Velumex(const std::string& arguments) {
        return pal_testing::RunOnWorld(VELUMEX_CLI, m_dir / "world", arguments, m_dir);
    }

    std::filesystem::path m_dir;
};

TEST_F(SyncCommand, ReportsEachPhaseAndObjectThenNothingAndKeepsItsState) {
    Outcome dry = Velumex("sync --dry-run");
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_NE(dry.out.find("Message (dry run, nothing changed):"), std::string::npos) << dry.out;
    EXPECT_NE(dry.out.find("to device: 2 created, 0 changed, 0 deleted, 0 skipped"),
              std::string::npos)
        << dry.out;

    Outcome first = Velumex("sync");
    ASSERT_EQ(first.status, 0) << first.err;
    for (const char* line : {"Message: comparing desktop items", "Message: listing device objects",
                             "Message: sending 2 to the device", "to device  created  message 1",
                             "to device  created  message 2",
                             "to device: 2 created, 0 changed, 0 deleted, 0 skipped"})
        EXPECT_NE(first.out.find(line), std::string::npos) << line << "\n" << first.out;

    Outcome again = Velumex("sync --json");
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.out.find("\"types\":[{\"type\":\"Message\",\"dryRun\":false,\"restarts\":0,"
                             "\"objects\":[]}]"),
              std::string::npos)
        << again.out;

    Outcome state = Velumex("sync state");
    ASSERT_EQ(state.status, 0) << state.err;
    EXPECT_NE(state.out.find("Message: 2 replicated objects"), std::string::npos) << state.out;
    EXPECT_NE(state.out.find("message 1  device 0x00030001"), std::string::npos) << state.out;

    // Watching: the mail folder's first poll finds it changed, so one more pass runs.
    Outcome watch = Velumex("sync --watch --for 1");
    ASSERT_EQ(watch.status, 0) << watch.err;
    EXPECT_NE(watch.out.find("watching for changes"), std::string::npos) << watch.out;

    EXPECT_EQ(Velumex("device disconnect").status, 0);
    Outcome offline = Velumex("sync");
    EXPECT_EQ(offline.status, 1);
    EXPECT_NE(offline.err.find("the device is not connected"), std::string::npos) << offline.err;
    EXPECT_EQ(Velumex("sync --type Address").status, 1);
}

}  // namespace
