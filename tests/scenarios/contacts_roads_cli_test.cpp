// The contacts roads driven from the command line as a user drives them: the device side
// installed as a package, a partnership connected, contacts changed through each side's own
// commands and carried by `velumex sync`.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "pal_testing/command_run.h"

namespace {

using Outcome = pal_testing::CommandOutcome;

class ContactsRoadsCommand : public ::testing::Test {
protected:
    ContactsRoadsCommand() {
        m_dir = std::filesystem::temp_directory_path() /
                ("velumex_contacts_roads_cli_" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        for (const char* step : {"world create", "desktop mail install", "desktop install",
                                 "device package install", "partner create --device-type PocketPC",
                                 "device connect"})
            Run(step);
    }
    ~ContactsRoadsCommand() override { std::filesystem::remove_all(m_dir); }

    // Runs a command that must succeed and answers what it printed.
    std::string Run(const std::string& arguments) {
        Outcome outcome = pal_testing::RunOnWorld(VELUMEX_CLI, m_dir / "world", arguments, m_dir);
        EXPECT_EQ(outcome.status, 0) << arguments << "\n" << outcome.out << outcome.err;
        return outcome.out;
    }
    // The identifier on the device listing's line that names `name`.
    static std::string DeviceIdOf(const std::string& listing, const std::string& name) {
        std::istringstream lines(listing);
        std::string line;
        while (std::getline(lines, line)) {
            size_t tab = line.find('\t');
            if (tab != std::string::npos && line.substr(tab + 1) == name) return line.substr(0, tab);
        }
        return {};
    }
    static bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }

    std::filesystem::path m_dir;
};

TEST_F(ContactsRoadsCommand, ADesktopContactEditedOnTheDeviceComesBackAndThenNothingMoves) {
    Run("desktop contacts add --set name='John Smith' --set first=John --set last=Smith "
        "--set company=Acme --email john@example.com");
    std::string first = Run("sync --type Address");
    EXPECT_TRUE(Has(first, "to device  created  contact 1")) << first;
    std::string id = DeviceIdOf(Run("device contacts list"), "John Smith");
    ASSERT_FALSE(id.empty());
    std::string shown = Run("device contacts show " + id);
    EXPECT_TRUE(Has(shown, "CompanyName: Acme\n")) << shown;
    EXPECT_TRUE(Has(shown, "Email1Address: john@example.com\n")) << shown;

    EXPECT_EQ(Run("device contacts edit " + id + " --set JobTitle=Director --clear CompanyName"),
              "changed contact " + id + "\n");
    std::string back = Run("sync");
    EXPECT_TRUE(Has(back, "to desktop  changed  contact 1")) << back;
    std::string desktop = Run("desktop contacts show 1");
    EXPECT_TRUE(Has(desktop, "Director")) << desktop;
    EXPECT_FALSE(Has(desktop, "Acme")) << desktop;

    std::string again = Run("sync");
    EXPECT_TRUE(Has(again, "Address:\n  nothing to do")) << again;
    EXPECT_TRUE(Has(again, "Message:\n  nothing to do")) << again;
}

}  // namespace
