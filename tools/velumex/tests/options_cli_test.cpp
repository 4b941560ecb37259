// velumex options mail and desktop mail list --scope, run as a user runs them on a world with the
// mail client, both providers, a partnership and a connected device.
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

constexpr char kTooFewLines[] = "Enter a number of lines from 5 to 9999.";

class OptionsCommands : public ::testing::Test {
protected:
    OptionsCommands() {
        m_dir = std::filesystem::temp_directory_path() /
                ("velumex_options_cli_" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        for (const char* step :
             {"world create", "desktop mail install",
              "desktop mail add --from ann@example.com --to me@example.com --subject Old "
              "--received 2020-01-06",
              "desktop mail add --from bob@example.com --to me@example.com --subject New",
              "desktop install", "device install-provider", "partner create --device-type PocketPC",
              "device connect",
              "reg set device HKCU\\\\Software\\\\Quorvane\\\\Velumex ID REG_DWORD 0"}) {
            Outcome run = Velumex(step);
            EXPECT_EQ(run.status, 0) << step << ": " << run.err;
            if (std::string(step).rfind("partner create", 0) == 0)
                m_partnership = run.out.substr(run.out.find("0x") + 2, 8);
        }
        EXPECT_EQ(m_partnership.size(), 8u);
    }
    ~OptionsCommands() override { std::filesystem::remove_all(m_dir); }

    Outcome Velumex(const std::string& arguments, const std::string& input = "") {
        std::ofstream(m_dir / "in", std::ios::binary) << input;
        std::string command = std::string(VELUMEX_CLI) + " --world '" + (m_dir / "world").string() +
                              "' " + arguments + " <'" + (m_dir / "in").string() + "' >'" +
                              (m_dir / "out").string() + "' 2>'" + (m_dir / "err").string() + "'";
        int status = std::system(command.c_str());
        auto slurp = [](const std::filesystem::path& path) {
            std::ifstream in(path, std::ios::binary);
            return std::string(std::istreambuf_iterator<char>(in), {});
        };
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(m_dir / "out"),
                slurp(m_dir / "err")};
    }

    // The stored mail options as .reg text; empty when the subkey does not exist.
    std::string StoredOptions() {
        Outcome query = Velumex(
            "reg query desktop 'HKCU\\Software\\Microsoft\\Windows CE Services\\Partners\\" +
            m_partnership + "\\KV.WinCE.OE.3'");
        return query.status == 0 ? query.out : "";
    }

    std::string NoKeepSentOver() {
        std::string device = Velumex("reg query device 'HKCU\\Software\\Quorvane\\Velumex'").out;
        size_t at = device.find("\"NoKeepSentOver\"=");
        return at == std::string::npos ? "" : device.substr(at, device.find('\n', at) - at);
    }

    std::filesystem::path m_dir;
    std::string m_partnership;
};

TEST_F(OptionsCommands, RefusedNumberSavesNothingAndAValidOneSavesAll) {
    Outcome refused = Velumex("options mail --set MaxLines=4");
    EXPECT_NE(refused.status, 0);
    EXPECT_NE(refused.out.find("> type 1030 4\n> ok\nmessage box: [Velumex] " +
                               std::string(kTooFewLines)),
              std::string::npos)
        << refused.out;
    EXPECT_NE(refused.out.find("outcome: refused"), std::string::npos);
    EXPECT_EQ(refused.err, "velumex: the dialog refused the input; nothing was saved\n");
    EXPECT_EQ(StoredOptions(), "");

    Outcome saved = Velumex("options mail --set MaxLines=5");
    EXPECT_EQ(saved.status, 0) << saved.err;
    EXPECT_NE(saved.out.find("outcome: OK, saved\n"), std::string::npos) << saved.out;
    EXPECT_NE(saved.out.find("  MaxLines   5\n"), std::string::npos);
    std::string stored = StoredOptions();
    for (const char* value : {"\"Options\"=dword:00000057", "\"MaxLines\"=dword:00000005",
                              "\"Days\"=dword:00000004", "\"SizeLimit\"=dword:00000014"})
        EXPECT_NE(stored.find(value), std::string::npos) << value << " in\n" << stored;
}

TEST_F(OptionsCommands, ConfirmingTheDefaultsChangesNothing) {
    Outcome same = Velumex("options mail --set Options=0x57,MaxLines=50");
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_NE(same.out.find("> ok\noutcome: OK, unchanged\n"), std::string::npos) << same.out;
    EXPECT_NE(same.out.find("  Options    0x00000057 (not stored: the default)\n"),
              std::string::npos);
    EXPECT_EQ(StoredOptions(), "");
}

TEST_F(OptionsCommands, SendingWithoutKeepingSetsTheDeviceValue) {
    ASSERT_EQ(Velumex("options mail --set Options=0x11").status, 0);
    EXPECT_EQ(NoKeepSentOver(), "\"NoKeepSentOver\"=dword:00000000");
    Outcome both = Velumex("options mail --check 1011");
    EXPECT_EQ(both.status, 0) << both.err;
    EXPECT_NE(both.out.find("  Options    0x00000051\n"), std::string::npos) << both.out;
    EXPECT_EQ(NoKeepSentOver(), "\"NoKeepSentOver\"=dword:00000001");
}

TEST_F(OptionsCommands, FromTheTerminalAndWithBadRequests) {
    Outcome typed = Velumex("options mail", "help\ntype 1121 9x\ntype 1121 12\nok\n");
    EXPECT_EQ(typed.status, 0) << typed.err;
    EXPECT_NE(typed.out.find("dialog 138 "), std::string::npos);
    EXPECT_NE(typed.out.find("? control 1121 takes digits only"), std::string::npos);
    EXPECT_NE(typed.out.find("  Days       12\n"), std::string::npos) << typed.out;

    Outcome ended = Velumex("options mail", "uncheck 1009\n");
    EXPECT_EQ(ended.status, 0) << ended.err;
    EXPECT_NE(ended.out.find("end of input: Cancel\noutcome: cancelled\n"), std::string::npos)
        << ended.out;

    Outcome unreachable = Velumex("options mail --set Options=0x21");
    EXPECT_EQ(unreachable.status, 1);
    EXPECT_NE(unreachable.err.find("0x20 is kept only with 0x8"), std::string::npos)
        << unreachable.err;
    Outcome notBox = Velumex("options mail --check 1030");
    EXPECT_EQ(notBox.err, "velumex: control 1030 is not a check box; nothing was saved\n");
    EXPECT_NE(Velumex("options mail --set Lines=3").status, 0);
    EXPECT_NE(StoredOptions().find("\"Days\"=dword:0000000c"), std::string::npos);

    // Offline the selected partnership's options are edited.
    ASSERT_EQ(Velumex("device disconnect").status, 0);
    Outcome offline = Velumex("options mail --set MaxLines=9");
    EXPECT_EQ(offline.status, 0) << offline.err;
    EXPECT_NE(StoredOptions().find("\"MaxLines\"=dword:00000009"), std::string::npos);
}

TEST_F(OptionsCommands, ListScopeMarksWhatTheMailFolderReplicates) {
    // The default options keep the last 4 days only.
    Outcome scoped = Velumex("desktop mail list --scope");
    ASSERT_EQ(scoped.status, 0) << scoped.err;
    EXPECT_EQ(scoped.out.substr(0, 10), "out      1");
    EXPECT_NE(scoped.out.find("\nin       2 "), std::string::npos) << scoped.out;
    EXPECT_EQ(Velumex("desktop mail list").out.substr(0, 7), "     1 ");

    ASSERT_EQ(Velumex("options mail --uncheck 1120").status, 0);
    scoped = Velumex("desktop mail list --scope");
    EXPECT_EQ(scoped.out.substr(0, 10), "in       1") << scoped.out;

    ASSERT_EQ(Velumex("options mail --uncheck 1009").status, 0);
    // Offline the selected partnership's options still apply.
    ASSERT_EQ(Velumex("device disconnect").status, 0);
    scoped = Velumex("desktop mail list --scope");
    EXPECT_EQ(scoped.status, 0) << scoped.err;
    EXPECT_EQ(scoped.out.substr(0, 10), "out      1");
    EXPECT_NE(scoped.out.find("\nout      2 "), std::string::npos) << scoped.out;
}

}  // namespace
