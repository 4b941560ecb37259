// Maildir mail: RFC 5322 messages read into the mail client's form and written back, byte for
// byte in their content, and the import and export commands run as a user runs them.
#include "maildir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using emu::mailclient::Attachment;
using emu::mailclient::Message;

namespace fs = std::filesystem;

std::vector<std::uint8_t> AllBytes() {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<std::uint8_t>(i));
    return bytes;
}

Message Sample() {
    Message message;
    message.id = 7;
    message.subject = "Привет — café ✓";
    message.body = "Grüße aus Köln\nline two\n";
    message.received = "2024-03-05T09:07:30";
    message.from = {"Renée Müller", "renee@example.org"};
    message.recipients = {{emu::mailclient::kTo, "Bob", "bob@example.com"},
                          {emu::mailclient::kTo, "", "carol@example.com"},
                          {emu::mailclient::kCc, "Dän", "dan@example.com"}};
    message.attachments = {
        {"résumé.pdf", "", 256, AllBytes()},
        {"notes.txt", "", 11, {'l', 'i', 'n', 'e', '\r', '\n', 'l', 'i', 'n', 'e', '\n'}},
        {"empty.bin", "", 0, {}}};
    return message;
}

void ExpectSame(const Message& read, const Message& written) {
    EXPECT_EQ(read.subject, written.subject);
    EXPECT_EQ(read.body, written.body);
    EXPECT_EQ(read.received, written.received);
    EXPECT_EQ(read.from.name, written.from.name);
    EXPECT_EQ(read.from.address, written.from.address);
    ASSERT_EQ(read.recipients.size(), written.recipients.size());
    for (size_t i = 0; i < read.recipients.size(); ++i) {
        EXPECT_EQ(read.recipients[i].recipClass, written.recipients[i].recipClass);
        EXPECT_EQ(read.recipients[i].name, written.recipients[i].name);
        EXPECT_EQ(read.recipients[i].address, written.recipients[i].address);
    }
    ASSERT_EQ(read.attachments.size(), written.attachments.size());
    for (size_t i = 0; i < read.attachments.size(); ++i) {
        EXPECT_EQ(read.attachments[i].fileName, written.attachments[i].fileName);
        EXPECT_EQ(read.attachments[i].content, written.attachments[i].content);
        EXPECT_EQ(read.attachments[i].size, written.attachments[i].content.size());
    }
}

TEST(MaildirMessage, RoundTripKeepsTextAddressesTimeAndAttachments) {
    Message message = Sample();
    ExpectSame(velumex::ParseMailMessage(velumex::FormatMailMessage(message, 0), 0), message);
    // The desktop's time zone moves the Date header, not the time read back.
    std::string shifted = velumex::FormatMailMessage(message, -60);
    EXPECT_NE(shifted.find("+0100"), std::string::npos);
    ExpectSame(velumex::ParseMailMessage(shifted, -60), message);
    EXPECT_EQ(velumex::ParseMailMessage(shifted, 0).received, "2024-03-05T08:07:30");

    // Without attachments the message is a single text part; the body still comes back whole.
    message.attachments.clear();
    message.body = "plain ascii";
    std::string single = velumex::FormatMailMessage(message, 0);
    EXPECT_EQ(single.find("multipart"), std::string::npos);
    ExpectSame(velumex::ParseMailMessage(single, 0), message);
}

TEST(MaildirMessage, ForeignMailIsDecoded) {
    const std::string mail =
        "From: =?ISO-8859-1?Q?J=F6rg?= <joerg@example.de>\n"
        "To: undisclosed-recipients:;, team: ann@example.com, Bob <bob@example.com>;\n"
        "Subject: =?UTF-8?B?0J/RgNC40LLQtdGC?= =?UTF-8?Q?_caf=C3=A9?=\n"
        "MIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=\"b1\"\n\n"
        "--b1\n"
        "Content-Type: multipart/alternative; boundary=\"b2\"\n\n"
        "--b2\nContent-Type: text/plain; charset=iso-8859-1\n"
        "Content-Transfer-Encoding: quoted-printable\n\nGr=FC=DFe\n"
        "--b2\nContent-Type: text/html\n\n<p>html</p>\n--b2--\n"
        "--b1\nContent-Type: application/pdf; name=\"../../etc/report.pdf\"\n"
        "Content-Transfer-Encoding: base64\n\nJVBERg==\n"
        "--b1\nContent-Type: message/rfc822\n\nFrom: a@b.c\nSubject: inner\n\nhi\n"
        "--b1--\n";
    Message read = velumex::ParseMailMessage(mail, 0);
    EXPECT_EQ(read.from.name, "Jörg");
    EXPECT_EQ(read.subject, "Привет café");
    EXPECT_EQ(read.body, "Grüße");
    EXPECT_TRUE(read.received.empty());
    ASSERT_EQ(read.recipients.size(), 2u);
    EXPECT_EQ(read.recipients[0].address, "ann@example.com");
    EXPECT_EQ(read.recipients[1].name, "Bob");
    ASSERT_EQ(read.attachments.size(), 2u);
    // A name from the message is only ever a bare file name.
    EXPECT_EQ(read.attachments[0].fileName, "report.pdf");
    EXPECT_EQ(read.attachments[0].content, (std::vector<std::uint8_t>{'%', 'P', 'D', 'F'}));
    EXPECT_EQ(read.attachments[1].fileName, "attachment2.eml");

    EXPECT_THROW(velumex::ParseMailMessage("Subject: no sender\n\nbody\n", 0),
                 velumex::MaildirError);
    EXPECT_THROW(velumex::ParseMailMessage("", 0), velumex::MaildirError);
}

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

class MaildirCommands : public ::testing::Test {
protected:
    MaildirCommands() {
        m_dir = fs::temp_directory_path() / ("velumex_maildir_cli_" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    ~MaildirCommands() override { fs::remove_all(m_dir); }

    Outcome Velumex(const std::string& world, const std::string& arguments) {
        std::string command = std::string(VELUMEX_CLI) + " --world '" + (m_dir / world).string() +
                              "' " + arguments + " >'" + (m_dir / "out").string() + "' 2>'" +
                              (m_dir / "err").string() + "'";
        int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(m_dir / "out"),
                Slurp(m_dir / "err")};
    }
    void NewWorld(const std::string& world) {
        ASSERT_EQ(Velumex(world, "world create").status, 0);
        ASSERT_EQ(Velumex(world, "desktop mail install").status, 0);
    }
    static std::string Slurp(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void Put(const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    // Every Inbox message as `show` prints it.
    std::string ShowAll(const std::string& world, int count) {
        std::string all;
        for (int id = 1; id <= count; ++id)
            all += Velumex(world, "desktop mail show " + std::to_string(id)).out;
        return all;
    }

    fs::path m_dir;
};

TEST_F(MaildirCommands, ExportedMailImportsBackTheSame) {
    NewWorld("one");
    Message sample = Sample();
    Put(m_dir / "in" / "new" / "1.eml", velumex::FormatMailMessage(sample, 0));
    sample.subject = "Second, read";
    sample.attachments.clear();
    Put(m_dir / "in" / "cur" / "2.eml:2,RS", velumex::FormatMailMessage(sample, 0));
    Put(m_dir / "in" / "cur" / "3.eml:2,", "From: x@y.z\nSubject: seen? no\n\nbody\n");

    Outcome imported =
        Velumex("one", "desktop mail import --maildir '" + (m_dir / "in").string() + "'");
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_NE(imported.out.find("3 messages imported"), std::string::npos);
    std::string shown = ShowAll("one", 3);
    EXPECT_NE(shown.find("Subject:  Привет — café ✓"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Attached: résumé.pdf (256 bytes)"), std::string::npos);
    std::string list = Velumex("one", "desktop mail list").out;
    EXPECT_NE(list.find("1 unread"), std::string::npos) << list;
    EXPECT_NE(list.find("2 read"), std::string::npos);
    EXPECT_NE(list.find("3 unread"), std::string::npos);

    Outcome exported =
        Velumex("one", "desktop mail export --maildir '" + (m_dir / "exported").string() + "'");
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_NE(exported.out.find("3 messages exported"), std::string::npos);
    auto entries = velumex::ListMaildir(m_dir / "exported");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_FALSE(entries[0].seen);
    EXPECT_TRUE(entries[1].seen);
    ExpectSame(velumex::ParseMailMessage(Slurp(entries[0].path), 0), Sample());

    NewWorld("two");
    ASSERT_EQ(
        Velumex("two", "desktop mail import --maildir '" + (m_dir / "exported").string() + "'")
            .status,
        0);
    EXPECT_EQ(ShowAll("two", 3), shown);
    EXPECT_EQ(Velumex("two", "desktop mail list").out, list);
}

TEST_F(MaildirCommands, BadMessagesAreNamedAndTheRestImported) {
    NewWorld("w");
    Put(m_dir / "in" / "new" / "a.eml", "Subject: nobody sent this\n\nbody\n");
    Put(m_dir / "in" / "new" / "b.eml", "From: ann@example.com\nSubject: fine\n\nbody\n");
    Outcome run = Velumex("w", "desktop mail import --maildir '" + (m_dir / "in").string() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("a.eml: the message has no originator address"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("1 of 2 messages could not be imported"), std::string::npos);
    EXPECT_NE(Velumex("w", "desktop mail list").out.find("fine"), std::string::npos);

    Outcome missing =
        Velumex("w", "desktop mail import --maildir '" + (m_dir / "none").string() + "'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("is not a maildir"), std::string::npos);
}

}  // namespace
