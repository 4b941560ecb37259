// velumex desktop mail install | add | list | show | mark | delete | sent: the desktop's mail
// client. The store needs no installation; `install` puts the client's library, programs and
// registry values into the desktop, so that the desktop provider finds it.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <set>

#include "cli.h"
#include "emu/mailclient/mail_client.h"
#include "emu/wab/address_book.h"
#include "mail_folder_calls.h"
#include "pal/runtime/encoding.h"

namespace velumex {

namespace {

using namespace emu::mailclient;

struct AddArguments {
    std::string from;
    std::string fromName;
    std::vector<std::string> to, cc, bcc;
    std::string subject;
    std::string bodyFile;
    std::vector<std::string> attach;
    bool unread = false;
    std::string received;
};

std::string Checked(const std::string& text, const char* what) {
    if (!pal::IsValidUtf8(text)) throw CliError(std::string(what) + " is not valid UTF-8");
    return text;
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CliError("cannot read " + path);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A body file is UTF-8 text, or else text in the desktop's code page (Windows-1252).
std::string BodyText(const std::string& path) {
    std::vector<std::uint8_t> bytes = ReadFile(path);
    std::string text(bytes.begin(), bytes.end());
    return pal::IsValidUtf8(text) ? text : pal::Utf16ToUtf8(pal::Cp1252ToUtf16(text));
}

std::uint64_t ParseId(const std::string& text) {
    if (text.empty() || text.size() > 19 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        throw CliError("'" + text + "' is not a message identifier");
    return std::stoull(text);
}

Message MessageOrFail(pal::Machine& desktop, std::uint64_t id) {
    std::optional<Message> message = FindMessage(desktop, id);
    if (!message) throw CliError("no message " + std::to_string(id));
    return *message;
}

std::string Party(const std::string& name, const std::string& address) {
    return name.empty() ? address : "\"" + name + "\" <" + address + ">";
}

const char* ClassName(unsigned recipClass) {
    return recipClass == kTo ? "To" : recipClass == kCc ? "Cc" : "Bcc";
}

// With `scope`, each line starts with whether the store's mail folder replicates the message.
void PrintList(const std::vector<Message>& messages, bool sent,
               const std::set<std::string>* scope = nullptr) {
    if (messages.empty()) {
        std::cout << (sent ? "nothing was sent\n" : "the Inbox is empty\n");
        return;
    }
    for (const Message& message : messages) {
        std::string who;
        if (sent) {
            for (const Recipient& recipient : message.recipients)
                if (recipient.recipClass == kTo)
                    who += (who.empty() ? "" : "; ") + recipient.address;
        } else {
            who = Party(message.from.name, message.from.address);
        }
        char head[64];
        std::snprintf(head, sizeof head, "%6llu %s %s ",
                      static_cast<unsigned long long>(message.id),
                      message.unread ? "unread" : "read  ", message.received.c_str());
        if (scope) std::cout << (scope->count(std::to_string(message.id)) ? "in  " : "out ");
        std::cout << head << (sent ? "to " : "") << who << "  " << message.subject;
        if (!message.attachments.empty())
            std::cout << "  [" << message.attachments.size() << " attachment"
                      << (message.attachments.size() == 1 ? "" : "s") << "]";
        std::cout << "\n";
    }
}

void PrintMessage(const Message& message) {
    std::cout << "Id:       " << message.id << (message.folder == Folder::Sent ? " (sent)" : "")
              << "\n";
    std::cout << "Received: " << message.received << "\n";
    std::cout << "State:    " << (message.unread ? "unread" : "read") << "\n";
    std::cout << "From:     " << Party(message.from.name, message.from.address) << "\n";
    for (const Recipient& recipient : message.recipients)
        std::cout << ClassName(recipient.recipClass) << ":"
                  << std::string(9 - std::string(ClassName(recipient.recipClass)).size(), ' ')
                  << Party(recipient.name, recipient.address) << "\n";
    std::cout << "Subject:  " << message.subject << "\n";
    for (const Attachment& attachment : message.attachments) {
        std::cout << "Attached: " << attachment.fileName << " (" << attachment.size << " bytes"
                  << (attachment.pathName.empty() ? "" : ", from " + attachment.pathName) << ")\n";
    }
    std::cout << "\n" << message.body;
    if (!message.body.empty() && message.body.back() != '\n') std::cout << "\n";
}

void AddMail(CliContext& context, const AddArguments& arguments) {
    Message message;
    message.from = {Checked(arguments.fromName, "--from-name"), Checked(arguments.from, "--from")};
    for (auto [list, recipClass] : {std::pair(&arguments.to, kTo), std::pair(&arguments.cc, kCc),
                                    std::pair(&arguments.bcc, kBcc)})
        for (const std::string& address : *list)
            message.recipients.push_back({recipClass, "", Checked(address, "an address")});
    message.subject = Checked(arguments.subject, "--subject");
    if (!arguments.bodyFile.empty()) message.body = BodyText(arguments.bodyFile);
    for (const std::string& file : arguments.attach) {
        Attachment attachment;
        attachment.content = ReadFile(file);
        attachment.fileName =
            Checked(std::filesystem::path(file).filename().string(), "a file name");
        attachment.size = attachment.content.size();
        message.attachments.push_back(std::move(attachment));
    }
    message.unread = arguments.unread;
    if (!arguments.received.empty()) {
        std::optional<std::string> received = NormalizeReceived(arguments.received);
        if (!received)
            throw CliError("--received '" + arguments.received +
                           "' is not YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS]");
        message.received = *received;
    }
    auto world = context.OpenWorld();
    try {
        // Said only once the message is in the store.
        auto id = AddMessage(world->Desktop(), message);
        std::cout << "added message " << id << "\n";
    } catch (const MailClientError& e) {
        throw CliError(e.what());
    }
}

}  // namespace

void AddMailCommands(CLI::App& app, CliContext& context) {
    auto* desktop = GroupCommand(app, "desktop", "the emulated desktop's products");
    auto* mail = desktop->add_subcommand("mail", "the desktop's mail client");
    mail->require_subcommand(1);

    mail->add_subcommand("install", "install the mail client and its address book into the desktop")
        ->callback([&context] {
            auto world = context.OpenWorld();
            InstallMailClient(world->Desktop());
            // The client comes with its address book.
            emu::wab::InstallAddressBook(world->Desktop());
            std::cout << "installed the mail client: " << pal::U8(kLibraryPath) << "\n";
        });

    auto arguments = std::make_shared<AddArguments>();
    auto* add = mail->add_subcommand("add", "deliver a message into the Inbox");
    add->add_option("--from", arguments->from, "originator's address")->required();
    add->add_option("--from-name", arguments->fromName, "originator's display name");
    add->add_option("--to", arguments->to, "To recipients' addresses")->required();
    add->add_option("--cc", arguments->cc, "Cc recipients' addresses");
    add->add_option("--bcc", arguments->bcc, "Bcc recipients' addresses");
    add->add_option("--subject", arguments->subject, "subject")->required();
    add->add_option("--body-file", arguments->bodyFile, "file holding the note text");
    add->add_option("--attach", arguments->attach, "files to attach");
    add->add_flag("--unread", arguments->unread, "leave the message unread (default: read)");
    add->add_option("--received", arguments->received,
                    "local arrival time YYYY-MM-DD[THH:MM[:SS]] (default: the desktop's clock)");
    add->callback([&context, arguments] { AddMail(context, *arguments); });

    auto scoped = std::make_shared<bool>(false);
    auto* list = mail->add_subcommand("list", "list the Inbox");
    list->add_flag("--scope", *scoped,
                   "mark each message in or out of the store's mail folder (the connected or "
                   "selected partnership's options)");
    list->callback([&context, scoped] {
        auto world = context.OpenWorld();
        if (!*scoped) return PrintList(ListMessages(world->Desktop(), Folder::Inbox), false);
        std::set<std::string> inScope = ReplicatedMessages(*world);
        PrintList(ListMessages(world->Desktop(), Folder::Inbox), false, &inScope);
    });

    auto id = std::make_shared<std::string>();
    auto* show = mail->add_subcommand("show", "show one message");
    show->add_option("ID", *id, "message identifier")->required();
    show->callback([&context, id] {
        auto world = context.OpenWorld();
        PrintMessage(MessageOrFail(world->Desktop(), ParseId(*id)));
    });

    auto markArguments = std::make_shared<std::vector<std::string>>();
    auto markAll = std::make_shared<bool>(false);
    auto* mark = mail->add_subcommand(
        "mark", "mark a message read or unread: ID read|unread, or --all read|unread");
    mark->add_option("ARGS", *markArguments, "[ID] read|unread")->required()->expected(1, 2);
    mark->add_flag("--all", *markAll, "mark every Inbox message");
    mark->callback([&context, markArguments, markAll] {
        const std::vector<std::string>& words = *markArguments;
        if (words.size() != (*markAll ? 1u : 2u))
            throw CliError(*markAll ? "mark --all takes only the state: read or unread"
                                    : "mark takes a message identifier and read or unread");
        const std::string& state = words.back();
        if (state != "read" && state != "unread")
            throw CliError("'" + state + "' is neither read nor unread");
        if (*markAll) {
            auto world = context.OpenWorld();
            size_t count = SetAllUnread(world->Desktop(), state == "unread");
            std::cout << count << " message" << (count == 1 ? " is " : "s are ") << state << "\n";
            return;
        }
        std::uint64_t message = ParseId(words.front());
        auto world = context.OpenWorld();
        if (!SetUnread(world->Desktop(), message, state == "unread"))
            throw CliError("no message " + words.front());
        std::cout << "message " << message << " is " << state << "\n";
    });

    auto* remove = mail->add_subcommand("delete", "delete a message");
    remove->add_option("ID", *id, "message identifier")->required();
    remove->callback([&context, id] {
        auto world = context.OpenWorld();
        std::uint64_t message = ParseId(*id);
        if (!DeleteMessage(world->Desktop(), message)) throw CliError("no message " + *id);
        std::cout << "deleted message " << message << "\n";
    });

    mail->add_subcommand("sent", "list what the client sent, in full")->callback([&context] {
        auto world = context.OpenWorld();
        std::vector<Message> sent = ListMessages(world->Desktop(), Folder::Sent);
        if (sent.empty()) std::cout << "nothing was sent\n";
        for (size_t i = 0; i < sent.size(); ++i) {
            if (i) std::cout << "\n";
            PrintMessage(MessageOrFail(world->Desktop(), sent[i].id));
        }
    });
}

}  // namespace velumex
