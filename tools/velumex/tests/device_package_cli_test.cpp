// velumex device package install|remove and device accounts, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

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
        std::string command = std::string(VELUMEX_CLI) + " --world '" + (m_dir / "world").string() +
                              "' " + arguments + " >'" + (m_dir / "out").string() + "' 2>'" +
                              (m_dir / "err").string() + "'";
        int status = std::system(command.c_str());
        auto slurp = [](const std::filesystem::path& path) {
            std::ifstream in(path, std::ios::binary);
            return std::string(std::istreambuf_iterator<char>(in), {});
        };
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(m_dir / "out"),
                slurp(m_dir / "err")};
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
