// velumex device package install|remove and device accounts, run as a user runs them.
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

class DevicePackageCommands : public ::testing::Test {
protected:
    DevicePackageCommands() {
        m_dir = std::filesystem::temp_directory_path() /
                ("velumex_package_cli_" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        EXPECT_EQ(Velumex("world create --device-os 5.1").status, 0);
    }
    ~DevicePackageCommands() override { std::filesystem::remove_all(m_dir); }

    Outcome Velumex(const std::string& arguments) {
        return pal_testing::RunOnWorld(VELUMEX_CLI, m_dir / "world", arguments, m_dir);
    }
    static bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }

    std::filesystem::path m_dir;
};

TEST_F(DevicePackageCommands, InstallationLeavesTheAccountAndTheRunningServiceAndRemovalTakesThem) {
    EXPECT_TRUE(Has(Velumex("device accounts").out, "no accounts"));
    Outcome install = Velumex("device package install");
    ASSERT_EQ(install.status, 0) << install.err;
    EXPECT_TRUE(Has(install.out, "service KTNotif running")) << install.out;
    Outcome accounts = Velumex("device accounts");
    EXPECT_TRUE(Has(accounts.out, "\"Outlook Express\" type Kestrin store 1")) << accounts.out;
    Outcome key = Velumex("reg query device \"HKCU\\Software\\Quorvane\\Velumex\"");
    EXPECT_TRUE(Has(key.out, "\"ID\"=dword:00000000")) << key.out << key.err;
    // The service ran when the command ended: the next device command finds it running again.
    EXPECT_TRUE(Has(Velumex("device service status").out, "running"));

    Outcome remove = Velumex("device package remove");
    ASSERT_EQ(remove.status, 0) << remove.err;
    EXPECT_TRUE(Has(Velumex("device accounts").out, "no accounts"));
    EXPECT_TRUE(Has(Velumex("device service status").out, "stopped"));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "world" / "device" / "root" / "kestrin.vol"));
    Outcome again = Velumex("device package remove");
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(Has(again.err, "not installed")) << again.err;
}

}  // namespace
