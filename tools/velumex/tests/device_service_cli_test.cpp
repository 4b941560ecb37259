// velumex device install-service, boot and service start|stop|status, run as a user runs them.
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

}  // namespace
