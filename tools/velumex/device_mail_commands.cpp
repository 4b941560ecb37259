// velumex device mail stores | list | show | compose | move | delete: the device's message
// stores as the device's user sees them. Commands work on the store of the account --account
// names, else on the Inbox account's store (HKLM "Software\Microsoft\Inbox\Svc\Kestrin"
// "FriendlyName"), else on the only store there is.
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>

#include "cli.h"
#include "emu/cemapi/message_stores.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/registry_store.h"

namespace velumex {

namespace {

using namespace emu::cemapi;

constexpr char16_t kAccountKey[] = u"HKLM\\Software\\Microsoft\\Inbox\\Svc\\Kestrin";
// The message flag of a message its user has read.
constexpr ULONG kReadFlag = 0x1;

struct ComposeArguments {
    std::vector<std::string> to, cc, bcc;
    std::string subject;
    std::string body;
    std::string bodyFile;
    std::vector<std::string> attach;
};

std::u16string Text(const std::string& text, const char* what) {
    if (!pal::IsValidUtf8(text)) throw CliError(std::string(what) + " is not valid UTF-8");
    return pal::U16(text);
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CliError("cannot read " + path);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::int64_t ParseId(const std::string& text) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
        throw CliError("'" + text + "' is not a message identifier");
    return std::stoll(text);
}

std::uint32_t StoreFor(pal::Machine& device, const std::string& account) {
    if (!account.empty()) {
        auto store = FindStore(device, Text(account, "--account"));
        if (!store) throw CliError("the device has no message store named '" + account + "'");
        return store->number;
    }
    std::vector<StoreInfo> stores = ListStores(device);
    if (stores.empty())
        throw CliError("the device has no message store (make one with 'velumex device mail "
                       "stores --create NAME')");
    if (auto name = pal::RegistryStore(device).GetString(kAccountKey, u"FriendlyName"))
        if (auto store = FindStore(device, *name)) return store->number;
    if (stores.size() == 1) return stores.front().number;
    throw CliError("the device has several message stores: name one with --account");
}

// "Name <address>" or a bare address.
RecipientInfo Recipient(ULONG type, const std::string& text) {
    std::u16string value = Text(text, "a recipient");
    RecipientInfo recipient{type, u"", value, u"SMTP"};
    size_t open = value.rfind(u'<');
    if (open != std::u16string::npos && value.back() == u'>') {
        recipient.address = value.substr(open + 1, value.size() - open - 2);
        std::u16string name = value.substr(0, open);
        while (!name.empty() && (name.back() == u' ' || name.back() == u'"')) name.pop_back();
        while (!name.empty() && (name.front() == u' ' || name.front() == u'"')) name.erase(0, 1);
        recipient.name = name;
    }
    if (recipient.address.empty()) throw CliError("'" + text + "' has no address");
    return recipient;
}

std::string When(const std::optional<FILETIME>& time) {
    if (!time) return "-";
    ULONGLONG ticks = (ULONGLONG{time->dwHighDateTime} << 32) | time->dwLowDateTime;
    std::time_t seconds = static_cast<std::time_t>(ticks / 10000000ULL) - 11644473600LL;
    std::tm parts{};
    if (!gmtime_r(&seconds, &parts)) return "-";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

std::string Hex(ULONG value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

const char* TypeName(ULONG type) { return type == 1 ? "To" : type == 2 ? "Cc" : type == 3 ? "Bcc" : "?"; }

// A party as mail shows it; an address that already carries its display name (mail from the
// desktop names its sender as "name" <address>) is shown as it stands.
std::string Party(const std::u16string& name, const std::u16string& address) {
    if (name.empty() || address.find(u'<') != std::u16string::npos) return pal::U8(address);
    return "\"" + pal::U8(name) + "\" <" + pal::U8(address) + ">";
}

void PrintList(const std::vector<MessageInfo>& messages) {
    if (messages.empty()) {
        std::cout << "no messages\n";
        return;
    }
    for (const MessageInfo& message : messages) {
        char head[96];
        std::snprintf(head, sizeof head, "%6lld %-13s %s %s %s  ", static_cast<long long>(message.id),
                      pal::U8(FolderName(message.folder)).c_str(),
                      (message.flags & kReadFlag) ? "read  " : "unread", Hex(message.status).c_str(),
                      When(message.deliveryTime).c_str());
        std::cout << head << pal::U8(message.subject);
        if (!message.attachments.empty())
            std::cout << "  [" << message.attachments.size() << " attachment"
                      << (message.attachments.size() == 1 ? "" : "s") << "]";
        std::cout << "\n";
    }
}

void PrintMessage(const MessageInfo& message) {
    std::cout << "Id:        " << message.id << "\n";
    std::cout << "Folder:    " << pal::U8(FolderName(message.folder)) << "\n";
    std::cout << "Class:     " << pal::U8(message.messageClass) << "\n";
    std::cout << "Flags:     " << Hex(message.flags) << "\n";
    std::cout << "Status:    " << Hex(message.status) << "\n";
    std::cout << "Delivered: " << When(message.deliveryTime) << "\n";
    if (!message.senderAddress.empty() || !message.senderName.empty())
        std::cout << "From:      " << Party(message.senderName, message.senderAddress) << "\n";
    for (const RecipientInfo& recipient : message.recipients)
        std::cout << TypeName(recipient.type) << ":"
                  << std::string(10 - std::string(TypeName(recipient.type)).size(), ' ')
                  << Party(recipient.name, recipient.address) << "\n";
    std::cout << "Subject:   " << pal::U8(message.subject) << "\n";
    for (const AttachmentInfo& attachment : message.attachments) {
        std::cout << "Attached:  " << attachment.number << " " << pal::U8(attachment.fileName) << " (";
        std::cout << (attachment.size ? std::to_string(*attachment.size) : std::string("?")) << " bytes, status "
                  << (attachment.status ? Hex(*attachment.status) : std::string("none")) << ", "
                  << attachment.data.size() << " bytes on the device)\n";
    }
    std::string body = pal::U8(message.body);
    std::cout << "\n" << body;
    if (!body.empty() && body.back() != '\n') std::cout << "\n";
}

void Compose(pal::Machine& device, std::uint32_t store, const ComposeArguments& arguments) {
    NewMessage message;
    message.subject = Text(arguments.subject, "--subject");
    for (auto [list, type] : {std::pair(&arguments.to, 1u), std::pair(&arguments.cc, 2u),
                              std::pair(&arguments.bcc, 3u)})
        for (const std::string& text : *list) message.recipients.push_back(Recipient(type, text));
    if (!arguments.bodyFile.empty()) {
        std::vector<std::uint8_t> bytes = ReadFile(arguments.bodyFile);
        message.body = Text(std::string(bytes.begin(), bytes.end()), "the body file");
    } else {
        message.body = Text(arguments.body, "--body");
    }
    for (const std::string& file : arguments.attach)
        message.attachments.push_back(
            {Text(std::filesystem::path(file).filename().string(), "a file name"), ReadFile(file)});
    std::int64_t id = ComposeMessage(device, store, message);
    std::cout << "composed message " << id << " in the Outbox\n";
}

// Runs a command on the device's store with the device's services up, then lets the stores'
// notifications reach their sinks: the notification service journals the change at once.
template <class Body>
void OnStore(CliContext& context, const std::string& account, Body&& body) {
    auto world = context.OpenWorld();
    pal::Machine& device = world->Device();
    RunningDevice running(device);
    try {
        body(device, StoreFor(device, account));
    } catch (const MessageStoreError& e) {
        throw CliError(e.what());
    }
    if (!running.Settle())
        throw CliError("the message store's notifications were not all delivered");
}

}  // namespace

void AddDeviceMailCommands(CLI::App& app, CliContext& context) {
    auto* device = GroupCommand(app, "device", "the emulated device");
    auto* mail = GroupCommand(*device, "mail", "the device's mail: its message stores");
    auto account = std::make_shared<std::string>();
    auto accountOption = [account](CLI::App* command) {
        command->add_option("--account", *account,
                            "the account whose store to use (default: the Inbox account's, or "
                            "the only one)");
    };

    auto created = std::make_shared<std::string>();
    auto* stores = mail->add_subcommand("stores", "list the message stores (one per account)");
    stores->add_option("--create", *created, "make a store for an account of this name first");
    stores->callback([&context, created] {
        auto world = context.OpenWorld();
        pal::Machine& device = world->Device();
        try {
            if (!created->empty())
                std::cout << "created store " << CreateStore(device, Text(*created, "--create")) << "\n";
        } catch (const MessageStoreError& e) {
            throw CliError(e.what());
        }
        for (const StoreInfo& store : ListStores(device))
            std::cout << store.number << " " << pal::U8(store.name) << "\n";
    });

    auto folder = std::make_shared<std::string>();
    auto* list = mail->add_subcommand("list", "list the messages of every folder (or of --folder)");
    list->add_option("--folder", *folder, "Inbox, Outbox, Deleted Items, Drafts, Sent Items or Root");
    accountOption(list);
    list->callback([&context, account, folder] {
        std::optional<FolderKind> only;
        if (!folder->empty()) {
            only = ParseFolder(Text(*folder, "--folder"));
            if (!only) throw CliError("'" + *folder + "' is no folder of a message store");
        }
        OnStore(context, *account, [&](pal::Machine& device, std::uint32_t store) {
            PrintList(ListMessages(device, store, only));
        });
    });

    auto id = std::make_shared<std::string>();
    auto* show = mail->add_subcommand("show", "show one message with its recipients and attachments");
    show->add_option("ID", *id, "message identifier")->required();
    accountOption(show);
    show->callback([&context, account, id] {
        std::int64_t message = ParseId(*id);
        OnStore(context, *account, [&](pal::Machine& device, std::uint32_t store) {
            auto found = ReadMessage(device, store, message);
            if (!found) throw CliError("no message " + *id);
            PrintMessage(*found);
        });
    });

    auto arguments = std::make_shared<ComposeArguments>();
    auto* compose = mail->add_subcommand(
        "compose", "write a message into the Outbox, as the device's user sends one");
    compose->add_option("--to", arguments->to, "To recipients: address or \"Name <address>\"")->required();
    compose->add_option("--cc", arguments->cc, "Cc recipients");
    compose->add_option("--bcc", arguments->bcc, "Bcc recipients");
    compose->add_option("--subject", arguments->subject, "subject")->required();
    auto* body = compose->add_option("--body", arguments->body, "the note text");
    compose->add_option("--body-file", arguments->bodyFile, "file holding the note text (UTF-8)")
        ->excludes(body);
    compose->add_option("--attach", arguments->attach, "files to attach");
    accountOption(compose);
    compose->callback([&context, account, arguments] {
        OnStore(context, *account, [&](pal::Machine& device, std::uint32_t store) {
            Compose(device, store, *arguments);
        });
    });

    auto target = std::make_shared<std::string>();
    auto* move = mail->add_subcommand("move", "move a message to another folder");
    move->add_option("ID", *id, "message identifier")->required();
    move->add_option("FOLDER", *target, "Inbox, Outbox, Deleted Items, Drafts, Sent Items")->required();
    accountOption(move);
    move->callback([&context, account, id, target] {
        std::int64_t message = ParseId(*id);
        auto kind = ParseFolder(Text(*target, "FOLDER"));
        if (!kind || *kind == FolderKind::Root) throw CliError("'" + *target + "' is no mail folder");
        OnStore(context, *account, [&](pal::Machine& device, std::uint32_t store) {
            if (!MoveMessage(device, store, message, *kind)) throw CliError("no message " + *id);
            std::cout << "moved message " << message << " to " << pal::U8(FolderName(*kind)) << "\n";
        });
    });

    auto* remove = mail->add_subcommand("delete", "delete a message");
    remove->add_option("ID", *id, "message identifier")->required();
    accountOption(remove);
    remove->callback([&context, account, id] {
        std::int64_t message = ParseId(*id);
        OnStore(context, *account, [&](pal::Machine& device, std::uint32_t store) {
            if (!DeleteMessage(device, store, message)) throw CliError("no message " + *id);
            std::cout << "deleted message " << message << "\n";
        });
    });
}

}  // namespace velumex
