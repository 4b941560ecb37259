// velumex desktop mail import|export --maildir DIR: real mail into and out of the desktop mail
// client's Inbox. Import takes every message of the maildir (new/ unread, cur/ read unless
// flagged seen); export writes each Inbox message as a maildir message import reads back.
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>

#include "cli.h"
#include "maildir.h"
#include "pal/runtime/machine.h"

namespace velumex {

namespace {

using namespace emu::mailclient;

std::string ReadWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw MaildirError("cannot read it");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Import(CliContext& context, const std::string& dir) {
    std::vector<MaildirEntry> entries;
    try {
        entries = ListMaildir(dir);
    } catch (const MaildirError& e) {
        throw CliError(e.what());
    }
    auto world = context.OpenWorld();
    pal::Machine& desktop = world->Desktop();
    const int bias = desktop.Config().timeZoneBias;
    size_t failed = 0;
    for (const MaildirEntry& entry : entries) {
        try {
            Message message = ParseMailMessage(ReadWhole(entry.path), bias);
            message.unread = !entry.seen;
            std::uint64_t id = AddMessage(desktop, message);
            std::cout << "imported " << entry.path.filename().string() << " as message " << id
                      << "\n";
        } catch (const std::exception& e) {
            // One bad message does not stop the others; the command still fails at the end.
            std::cerr << "velumex: " << entry.path.string() << ": " << e.what() << "\n";
            ++failed;
        }
    }
    if (failed)
        throw CliError(std::to_string(failed) + " of " + std::to_string(entries.size()) +
                       " messages could not be imported");
    std::cout << entries.size() << " message" << (entries.size() == 1 ? "" : "s") << " imported\n";
}

void Export(CliContext& context, const std::string& dir) {
    auto world = context.OpenWorld();
    pal::Machine& desktop = world->Desktop();
    const int bias = desktop.Config().timeZoneBias;
    std::vector<Message> inbox = ListMessages(desktop, Folder::Inbox);
    const auto now = static_cast<unsigned long long>(std::time(nullptr));
    for (const Message& listed : inbox) {
        std::optional<Message> message = FindMessage(desktop, listed.id);
        if (!message) continue;
        // The time, the zero-padded identifier and this process make the name unique and keep
        // the Inbox's order.
        char unique[96];
        std::snprintf(unique, sizeof unique, "%llu.M%020lluP%d.velumex", now,
                      static_cast<unsigned long long>(message->id), static_cast<int>(::getpid()));
        try {
            std::filesystem::path path =
                AddToMaildir(dir, FormatMailMessage(*message, bias), !message->unread, unique);
            std::cout << "exported message " << message->id << " to " << path.string() << "\n";
        } catch (const std::exception& e) {
            throw CliError("message " + std::to_string(message->id) + ": " + e.what());
        }
    }
    std::cout << inbox.size() << " message" << (inbox.size() == 1 ? "" : "s") << " exported\n";
}

}  // namespace

void AddMaildirCommands(CLI::App& app, CliContext& context) {
    auto* mail =
        GroupCommand(app, "desktop", "the emulated desktop's products")->get_subcommand("mail");
    auto importDir = std::make_shared<std::string>();
    auto* import = mail->add_subcommand(
        "import", "add the messages of a maildir (RFC 5322, MIME attachments) to the Inbox");
    import->add_option("--maildir", *importDir, "maildir folder (with new/ and cur/)")->required();
    import->callback([&context, importDir] { Import(context, *importDir);
});

auto exportDir = std::make_shared<std::string>();
auto* exporter = mail->add_subcommand(
    "export", "write every Inbox message into a maildir, as import reads it back");
exporter->add_option("--maildir", *exportDir, "maildir folder (created when missing)")->required();
exporter->callback([&context, exportDir] { Export(context, *exportDir); });
}  // namespace velumex

}  // namespace velumex
