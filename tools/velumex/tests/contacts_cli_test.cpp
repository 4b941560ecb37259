// velumex desktop contacts and options contacts, run as a user runs them on a world with the mail
// client and its address book, both providers, a partnership and a connected device.
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

class ContactsCommands : public ::testing::Test {
protected:
    ContactsCommands() {
        m_dir = std::filesystem::temp_directory_path() /
                ("velumex_contacts_cli_" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        for (const char* step :
             {"world create", "desktop mail install", "desktop install", "device install-provider",
              "partner create --device-type PocketPC", "device connect",
              "desktop contacts add --set name='John Smith' --set first=John --set last=Smith "
              "--email john@example.com --folder Family",
              "desktop contacts add --set name=Team --group"}) {
            Outcome run = Velumex(step);
            EXPECT_EQ(run.status, 0) << step << ": " << run.err;
        }
        std::ofstream(m_dir / "cards.vcf") << "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Zoe Lee\r\n"
                                              "EMAIL:zoe@example.com\r\nORG:Acme\r\nEND:VCARD\r\n";
    }
    ~ContactsCommands() override { std::filesystem::remove_all(m_dir); }

    Outcome Velumex(const std::string& arguments) {
        return pal_testing::RunOnWorld(VELUMEX_CLI, m_dir / "world", arguments, m_dir);
    }

    size_t Backups() {
        size_t count = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_dir / "world"))
            if (entry.path().filename().string().rfind("VelumexBackup.", 0) == 0) ++count;
        return count;
    }

    std::filesystem::path m_dir;
};

TEST_F(ContactsCommands, ImportedAndAddedContactsAreScopedByTheOptionsDialog) {
    Outcome imported = Velumex("desktop contacts import --vcard '" + (m_dir / "cards.vcf").string() +
                               "'");
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_NE(imported.out.find("imported 1 contact"), std::string::npos);

    Outcome scoped = Velumex("desktop contacts list --scope");
    ASSERT_EQ(scoped.status, 0) << scoped.err;
    EXPECT_NE(scoped.out.find("in      2  contact John Smith <john@example.com>  [Family]"),
              std::string::npos)
        << scoped.out;
    EXPECT_NE(scoped.out.find("        3  group   Team"), std::string::npos) << scoped.out;
    EXPECT_NE(scoped.out.find("in      4  contact Zoe Lee <zoe@example.com>"), std::string::npos);

    Outcome chosen = Velumex("options contacts --folder Family --unfiled false");
    ASSERT_EQ(chosen.status, 0) << chosen.err;
    EXPECT_NE(chosen.out.find("FolderOptions 0\n  Folders       \"Family\""), std::string::npos)
        << chosen.out;
    scoped = Velumex("desktop contacts list --scope");
    EXPECT_NE(scoped.out.find("in      2"), std::string::npos) << scoped.out;
    EXPECT_NE(scoped.out.find("out     4"), std::string::npos) << scoped.out;

    Outcome unknown = Velumex("options contacts --folder Work");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("no folder 'Work'"), std::string::npos) << unknown.err;

    // Offline the selected partnership's choice applies.
    ASSERT_EQ(Velumex("device disconnect").status, 0);
    ASSERT_EQ(Velumex("options contacts --all").status, 0);
    scoped = Velumex("desktop contacts list --scope");
    EXPECT_NE(scoped.out.find("in      4"), std::string::npos) << scoped.out;
}

TEST_F(ContactsCommands, APacketAppliedBackEditsTheEntry) {
    std::string packet = (m_dir / "john.pkt").string();
    Outcome built = Velumex("desktop contacts packet 2 --out '" + packet + "'");
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_NE(built.out.find("0x0080001F"), std::string::npos);
    EXPECT_NE(built.out.find("\"John Smith\""), std::string::npos) << built.out;
    EXPECT_NE(built.out.find("0x0090001F"), std::string::npos);

    Outcome applied =
        Velumex("desktop contacts apply 2 --packet '" + packet + "' --set company=Initech");
    ASSERT_EQ(applied.status, 0) << applied.err;
    Outcome shown = Velumex("desktop contacts show 2");
    EXPECT_NE(shown.out.find("company           Initech"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("email             john@example.com  (default)"), std::string::npos);

    EXPECT_EQ(Velumex("desktop contacts packet 3").status, 1);
    EXPECT_EQ(Velumex("desktop contacts show 99").err, "velumex: no contact 99\n");
    EXPECT_EQ(Velumex("desktop contacts add --set company=X").err,
              "velumex: a contact needs a name (--set name=…)\n");
}

TEST_F(ContactsCommands, BackupsAppearAndAreCapped) {
    ASSERT_EQ(Velumex("reg set desktop 'HKLM\\Software\\Quorvane\\Velumex' MaxBackups REG_DWORD 2")
                  .status,
              0);
    for (int run = 0; run < 4; ++run) ASSERT_EQ(Velumex("desktop contacts packet 2").status, 0);
    EXPECT_EQ(Backups(), 2u);
}

}  // namespace
