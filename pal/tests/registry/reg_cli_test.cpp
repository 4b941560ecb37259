// Runs the velumex program's reg commands against a temporary world.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pal_testing/command_run.h"

namespace {

using Outcome = pal_testing::CommandOutcome;

class RegCommand : public ::testing::Test {
protected:
    RegCommand() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "velumex-cli-XXXXXX").string();
        EXPECT_NE(::mkdtemp(tmpl.data()), nullptr);
        m_dir = tmpl;
    }
    ~RegCommand() override { std::filesystem::remove_all(m_dir); }

    Outcome Velumex(const std::vector<std::string>& args) {
        return pal_testing::RunOnWorld(VELUMEX_CLI, m_dir / "w", args, m_dir);
    }

    std::filesystem::path m_dir;
};

TEST_F(RegCommand, ValuesOfEveryTypeSurviveAndQueryPrintsThemAsRegText) {
    ASSERT_EQ(Velumex({"world", "create"}).status, 0);
    const std::string key = "HKLM\\Software\\Quorvane\\Velumex";
    for (auto args :
         std::vector<std::vector<std::string>>{{"", "REG_SZ", "Déjà \"vu\" \\ €"},
                                               {"Path", "REG_EXPAND_SZ", "%ProgramFiles%\\x"},
                                               {"Folders", "REG_MULTI_SZ", "Inbox", "Ärger"},
                                               {"MaxBackups", "REG_DWORD", "0x10"},
                                               {"Days", "REG_DWORD", "4294967295"},
                                               {"Blob", "REG_BINARY", "01ab", "ff 00"}}) {
        args.insert(args.begin(), {"reg", "set", "desktop", key});
        Outcome run = Velumex(args);
        EXPECT_EQ(run.status, 0) << run.err;
    }
    ASSERT_EQ(Velumex({"reg", "set", "device", "HKCU\\Software\\Quorvane\\Velumex", "ID",
                       "REG_DWORD", "7"})
                  .status,
              0);

    Outcome all = Velumex({"reg", "query", "desktop", "hklm\\software\\QUORVANE"});
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(all.out,
              // The key keeps the case of the existing HKLM\SOFTWARE that a new world has.
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane]\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Velumex]\n"
              "@=\"Déjà \\\"vu\\\" \\\\ €\"\n"
              "\"Path\"=hex(2):25,00,50,00,72,00,6f,00,67,00,72,00,61,00,6d,00,46,00,69,00,6c,\\\n"
              "  00,65,00,73,00,25,00,5c,00,78,00,00,00\n"
              "\"Folders\"=hex(7):49,00,6e,00,62,00,6f,00,78,00,00,00,c4,00,72,00,67,00,65,00,\\\n"
              "  72,00,00,00,00,00\n"
              "\"MaxBackups\"=dword:00000010\n"
              "\"Days\"=dword:ffffffff\n"
              "\"Blob\"=hex:01,ab,ff,00\n\n");

    Outcome one =
        Velumex({"reg", "query", "device", "HKEY_CURRENT_USER\\Software\\Quorvane\\Velumex", "id"});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out,
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER\\Software\\Quorvane\\Velumex]\n\"ID\"=dword:00000007\n\n");

    EXPECT_EQ(Velumex({"reg", "delete", "desktop", key, "Blob"}).status, 0);
    EXPECT_EQ(Velumex({"reg", "query", "desktop", key, "Blob"}).status, 1);
    EXPECT_EQ(Velumex({"reg", "delete", "desktop", "HKLM\\Software\\Quorvane"}).status, 0);
    Outcome gone = Velumex({"reg", "query", "desktop", key});
    EXPECT_EQ(gone.status, 1);
    EXPECT_EQ(gone.err, "velumex: no key " + key + "\n");
}

TEST_F(RegCommand, BadArgumentsAreOneLineErrors) {
    ASSERT_EQ(Velumex({"world", "create"}).status, 0);
    for (auto args : std::vector<std::vector<std::string>>{
             {"reg", "query", "laptop", "HKLM"},
             {"reg", "query", "desktop", "HKXX\\Software"},
             {"reg", "query", "desktop", "HKLM\\Missing"},
             {"reg", "set", "desktop", "HKLM\\A", "v", "REG_QWORD", "1"},
             {"reg", "set", "desktop", "HKLM\\A", "v", "REG_DWORD", "4294967296"},
             {"reg", "set", "desktop", "HKLM\\A", "v", "REG_DWORD", "12ab"},
             {"reg", "set", "desktop", "HKLM\\A", "v", "REG_BINARY", "abc"},
             {"reg", "set", "desktop", "HKLM\\A", "v", "REG_SZ", "a", "b"},
             {"reg", "set", "desktop", "HKLM\\A\\\\B", "v", "REG_SZ", "a"},
             {"reg", "delete", "device", "HKLM\\A"},
             {"reg", "delete", "device", "HKLM", "missing"}}) {
        Outcome run = Velumex(args);
        EXPECT_EQ(run.status, 1) << args[2] << " " << args[4];
        EXPECT_EQ(run.err.rfind("velumex: ", 0), 0u) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    }
    Outcome help = Velumex({"reg", "set", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("REG_MULTI_SZ"), std::string::npos);
}

}  // namespace
