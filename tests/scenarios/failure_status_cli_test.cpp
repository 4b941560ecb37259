// The command line as a user meets its failures: every command that fails exits non-zero and
// claims nothing it did not do; a damaged world is reported, never quietly made again; hostile
// registry names are kept; two creations of one world at once leave one world.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "pal_testing/command_run.h"

namespace {

using Outcome = pal_testing::CommandOutcome;

class FailureStatus : public ::testing::Test {
protected:
    FailureStatus() {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "velumex-status-XXXXXX").string();
        EXPECT_NE(::mkdtemp(tmpl.data()), nullptr);
        m_dir = tmpl;
    }
    ~FailureStatus() override { std::filesystem::remove_all(m_dir); }

    // Runs velumex on the world `world` (a folder under the test's own), output kept apart.
    Outcome Velumex(const std::vector<std::string>& args, const std::string& world = "w",
                    const std::string& tag = "run") {
        std::filesystem::create_directories(m_dir / tag);
        return pal_testing::RunOnWorld(VELUMEX_CLI, m_dir / world, args, m_dir / tag);
    }

    std::filesystem::path m_dir;
};

TEST_F(FailureStatus, FailedCommandsExitNonZeroAndClaimNothing) {
    ASSERT_EQ(Velumex({"world", "create"}).status, 0);

    // No provider installed: the store is not created.
    Outcome info = Velumex({"store", "info"});
    EXPECT_EQ(info.status, 1) << info.out;
    EXPECT_NE(info.out.find("store not created"), std::string::npos) << info.out;
    EXPECT_NE(info.err.find("velumex: "), std::string::npos) << info.err;

    Outcome decode = Velumex({"handle", "decode", "0200 05000000 0100"});
    EXPECT_EQ(decode.status, 1);
    EXPECT_NE(decode.out.find("truncated"), std::string::npos) << decode.out;
    EXPECT_EQ(Velumex({"handle", "decode", "0200 06000000"}).status, 0);

    // A mail store that cannot be opened: the message is not added, and not said to be.
    ASSERT_EQ(Velumex({"desktop", "mail", "install"}).status, 0);
    std::filesystem::remove(m_dir / "w/desktop/mailclient.db");
    std::filesystem::create_directory(m_dir / "w/desktop/mailclient.db");
    Outcome add = Velumex({"desktop", "mail", "add", "--from", "a@x.org", "--to", "b@x.org",
                           "--subject", "S"});
    EXPECT_EQ(add.status, 1);
    EXPECT_EQ(add.out.find("added message"), std::string::npos) << add.out;
}

TEST_F(FailureStatus, ALostOrEmptiedStoreIsADamagedWorld) {
    ASSERT_EQ(Velumex({"world", "create"}).status, 0);
    ASSERT_EQ(Velumex({"desktop", "mail", "install"}).status, 0);
    ASSERT_EQ(Velumex({"desktop", "mail", "add", "--from", "a@x.org", "--to", "b@x.org",
                       "--subject", "Kept"})
                  .status,
              0);
    const auto store = m_dir / "w/desktop/mailclient.db";
    std::filesystem::resize_file(store, 0);
    Outcome list = Velumex({"desktop", "mail", "list"});
    EXPECT_EQ(list.status, 1);
    EXPECT_NE(list.err.find("damaged world: "), std::string::npos) << list.err;
    EXPECT_EQ(std::filesystem::file_size(store), 0u);

    std::filesystem::remove(store);
    list = Velumex({"desktop", "mail", "list"});
    EXPECT_EQ(list.status, 1);
    EXPECT_NE(list.err.find("mailclient.db is missing"), std::string::npos) << list.err;
    EXPECT_FALSE(std::filesystem::exists(store));

    std::filesystem::remove(m_dir / "w/desktop/HKLM.reg");
    Outcome show = Velumex({"reg", "query", "desktop", "HKLM\\Software"});
    EXPECT_EQ(show.status, 1);
    EXPECT_NE(show.err.find("damaged world: "), std::string::npos) << show.err;
}

TEST_F(FailureStatus, RegistryNamesWithLineBreaksKeepTheHiveLoadable) {
    ASSERT_EQ(Velumex({"world", "create"}).status, 0);
    EXPECT_EQ(Velumex({"reg", "set", "desktop", "HKCU\\Software\\T", "a\nb", "REG_SZ", "x"}).status,
              0);
    EXPECT_EQ(Velumex({"reg", "set", "desktop", "HKCU\\Software\\K\r\n[HKCU\\Evil]", "v",
                       "REG_DWORD", "7"})
                  .status,
              0);
    Outcome query = Velumex({"reg", "query", "desktop", "HKCU\\Software"});
    EXPECT_EQ(query.status, 0) << query.err;
    EXPECT_EQ(query.out.find("[HKEY_CURRENT_USER\\Evil]"), std::string::npos) << query.out;
    Outcome evil = Velumex({"reg", "query", "desktop", "HKCU\\Evil"});
    EXPECT_EQ(evil.status, 1);

    Outcome tooLong =
        Velumex({"reg", "set", "desktop", "HKCU\\Software\\" + std::string(256, 'k'), "v",
                 "REG_DWORD", "1"});
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_NE(tooLong.err.find("255"), std::string::npos) << tooLong.err;
}

TEST_F(FailureStatus, TwoCreationsOfOneWorldAtOnceLeaveExactlyOneSuccess) {
    for (int round = 0; round < 8; ++round) {
        std::string world = "race" + std::to_string(round);
        Outcome first, second;
        std::thread a([&] { first = Velumex({"world", "create"}, world, world + "a"); });
        std::thread b([&] { second = Velumex({"world", "create"}, world, world + "b"); });
        a.join();
        b.join();
        EXPECT_EQ((first.status == 0) + (second.status == 0), 1)
            << first.err << " / " << second.err;
        EXPECT_EQ(Velumex({"world", "show"}, world).status, 0);
    }
}

}  // namespace
