// velumex desktop contacts install | add | edit | delete | list | show | import | export: the
// desktop's address book, arranged and observed through its own controls.
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>

#include <wab.h>

#include "contact_fields.h"
#include "contacts_cli.h"
#include "emu/wab/address_book.h"
#include "pal/runtime/encoding.h"
#include "vcard.h"

namespace velumex {

namespace {

using emu::wab::Entry;
using emu::wab::Property;

struct EntryArguments {
    std::vector<std::string> sets, clears, emails, folders;
    int defaultEmail = 0;
    bool group = false;
};

// Runs `work` with the book's errors as the command line's.
template <class Work>
auto Book(Work work) {
    try {
        return work();
    } catch (const emu::wab::AddressBookError& error) {
        throw CliError(error.what());
    }
}

std::vector<Property> FieldValues(const std::vector<std::string>& sets) {
    std::vector<Property> props;
    for (const std::string& set : sets) {
        size_t equals = set.find('=');
        if (equals == std::string::npos) throw CliError("--set takes FIELD=VALUE, not '" + set + "'");
        const ContactField& field = FieldNamed(set.substr(0, equals));
        std::string value = set.substr(equals + 1);
        if (value.empty()) throw CliError("--set " + set + " gives no value (use --clear)");
        props.push_back(FieldProperty(field, value));
    }
    return props;
}

std::vector<std::uint32_t> Folders(pal::Machine& desktop, const std::vector<std::string>& names) {
    std::vector<std::uint32_t> folders;
    for (const std::string& name : names) folders.push_back(emu::wab::AddFolder(desktop, ToAnsi(name)));
    return folders;
}

std::vector<std::string> Emails(const Entry& entry) {
    std::vector<std::string> emails;
    if (const Property* list = entry.Find(PR_CONTACT_EMAIL_ADDRESSES_A))
        for (const std::string& item : list->items) emails.push_back(FromAnsi(item));
    else if (!entry.TextOf(PR_EMAIL_ADDRESS_A).empty())
        emails.push_back(FromAnsi(entry.TextOf(PR_EMAIL_ADDRESS_A)));
    return emails;
}

std::string FolderNames(pal::Machine& desktop, const Entry& entry) {
    std::string names;
    for (std::uint32_t id : entry.folders) {
        std::optional<Entry> folder = emu::wab::FindEntry(desktop, id);
        if (folder) names += (names.empty() ? "" : ", ") + FromAnsi(folder->TextOf(PR_DISPLAY_NAME_A));
    }
    return names;
}

const char* TypeName(int type) {
    return type == emu::wab::kGroup ? "group" : type == emu::wab::kFolder ? "folder" : "contact";
}

Entry EntryOrFail(pal::Machine& desktop, std::uint32_t id) {
    std::optional<Entry> entry = emu::wab::FindEntry(desktop, id);
    if (!entry || entry->type == emu::wab::kFolder) throw CliError("no contact " + std::to_string(id));
    return *entry;
}

void Add(CliContext& context, const EntryArguments& arguments) {
    auto world = context.OpenWorld();
    pal::Machine& desktop = world->Desktop();
    Book([&] {
        std::vector<Property> props = FieldValues(arguments.sets);
        bool named = false;
        for (const Property& prop : props) named |= prop.tag == PR_DISPLAY_NAME_A;
        if (!named) throw CliError("a contact needs a name (--set name=…)");
        if (!arguments.emails.empty()) {
            if (arguments.group) throw CliError("a group has no e-mail addresses");
            for (Property& prop : EmailProperties(arguments.emails, arguments.defaultEmail))
                props.push_back(prop);
        }
        std::uint32_t id = emu::wab::AddEntry(desktop, arguments.group ? emu::wab::kGroup
                                                                       : emu::wab::kContact,
                                              props, Folders(desktop, arguments.folders));
        std::cout << "added " << (arguments.group ? "group " : "contact ") << id << "\n";
        return id;
    });
}

void Edit(CliContext& context, std::uint32_t id, const EntryArguments& arguments) {
    auto world = context.OpenWorld();
    pal::Machine& desktop = world->Desktop();
    Book([&] {
        Entry entry = EntryOrFail(desktop, id);
        std::vector<Property> props = FieldValues(arguments.sets);
        std::vector<std::uint32_t> removed;
        for (const std::string& name : arguments.clears) {
            if (name == "email") {
                removed.insert(removed.end(), {PR_EMAIL_ADDRESS_A, PR_CONTACT_DEFAULT_ADDRESS_INDEX,
                                               PR_CONTACT_EMAIL_ADDRESSES_A});
                continue;
            }
            const ContactField& field = FieldNamed(name);
            if (field.bookTag == PR_DISPLAY_NAME_A) throw CliError("a contact keeps its name");
            removed.push_back(field.bookTag);
        }
        if (!arguments.emails.empty())
            for (Property& prop : EmailProperties(arguments.emails, arguments.defaultEmail))
                props.push_back(prop);
        if (props.empty() && removed.empty()) throw CliError("nothing to change (--set, --clear, --email)");
        emu::wab::UpdateEntry(desktop, id, props, removed);
        std::cout << "edited " << TypeName(entry.type) << " " << id << "\n";
        return 0;
    });
}

void List(CliContext& context, bool scope) {
    std::map<std::uint32_t, bool> inScope;
    if (scope) {
        auto world = context.OpenWorld();
        for (const auto& [id, replicated] : ContactsInScope(*world)) inScope[id] = replicated;
    }
    auto world = context.OpenWorld();
    pal::Machine& desktop = world->Desktop();
    Book([&] {
        for (const Entry& entry : emu::wab::ListEntries(desktop)) {
            if (entry.type == emu::wab::kFolder) continue;
            if (scope) {
                auto found = inScope.find(entry.id);
                std::cout << (found == inScope.end() ? "   " : found->second ? "in " : "out") << " ";
            }
            std::vector<std::string> emails = Emails(entry);
            std::string folders = FolderNames(desktop, entry);
            std::printf("%5u  %-7s %s", entry.id, TypeName(entry.type),
                        FromAnsi(entry.TextOf(PR_DISPLAY_NAME_A)).c_str());
            std::fflush(stdout);
            if (!emails.empty()) std::cout << " <" << emails.front() << ">";
            if (!folders.empty()) std::cout << "  [" << folders << "]";
            std::cout << "\n";
        }
        return 0;
    });
}

void Show(CliContext& context, std::uint32_t id) {
    auto world = context.OpenWorld();
    pal::Machine& desktop = world->Desktop();
    Book([&] {
        Entry entry = EntryOrFail(desktop, id);
        std::cout << TypeName(entry.type) << " " << id << "\n";
        for (const ContactField& field : ContactFields())
            if (const Property* prop = entry.Find(field.bookTag))
                std::printf("  %-17s %s\n", field.name, FieldText(*prop).c_str());
        std::vector<std::string> emails = Emails(entry);
        const Property* index = entry.Find(PR_CONTACT_DEFAULT_ADDRESS_INDEX);
        for (size_t i = 0; i < emails.size(); ++i)
            std::printf("  %-17s %s%s\n", "email", emails[i].c_str(),
                        index && index->number == static_cast<std::int64_t>(i) ? "  (default)" : "");
        std::string folders = FolderNames(desktop, entry);
        if (!folders.empty()) std::printf("  %-17s %s\n", "folders", folders.c_str());
        if (const Property* modified = entry.Find(PR_LAST_MODIFICATION_TIME))
            std::printf("  %-17s 0x%016llx\n", "modified",
                        static_cast<unsigned long long>(modified->number));
        std::fflush(stdout);
        return 0;
    });
}

void Import(CliContext& context, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CliError("cannot read " + path);
    std::string text(std::istreambuf_iterator<char>(in), {});
    std::vector<VCardContact> cards = ParseVCards(text);
    auto world = context.OpenWorld();
    pal::Machine& desktop = world->Desktop();
    Book([&] {
        // Every card is checked before any is added: a bad card adds nothing.
        std::vector<std::vector<Property>> entries;
        for (const VCardContact& card : cards) {
            std::vector<Property> props;
            std::string name;
            for (const auto& [field, value] : card.fields) {
                props.push_back(FieldProperty(FieldNamed(field), value));
                if (field == "name") name = value;
            }
            if (name.empty()) {
                std::string first, last;
                for (const auto& [field, value] : card.fields) {
                    if (field == "first") first = value;
                    if (field == "last") last = value;
                }
                name = first + (first.empty() || last.empty() ? "" : " ") + last;
                if (name.empty()) name = card.emails.empty() ? "" : card.emails.front();
                if (name.empty()) throw CliError("a vCard has no name, no N and no e-mail");
                props.push_back(FieldProperty(FieldNamed("name"), name));
            }
            if (!card.emails.empty())
                for (Property& prop : EmailProperties(card.emails, 0)) props.push_back(prop);
            entries.push_back(std::move(props));
        }
        for (auto& props : entries) {
            std::uint32_t id = emu::wab::AddEntry(desktop, emu::wab::kContact, props);
            std::cout << "added contact " << id << "\n";
        }
        std::cout << "imported " << entries.size() << " contact" << (entries.size() == 1 ? "" : "s")
                  << " from " << path << "\n";
        return 0;
    });
}

void Export(CliContext& context, const std::string& path) {
    auto world = context.OpenWorld();
    pal::Machine& desktop = world->Desktop();
    std::string text;
    size_t count = Book([&] {
        size_t exported = 0;
        for (const Entry& entry : emu::wab::ListEntries(desktop)) {
            if (entry.type != emu::wab::kContact) continue;
            VCardContact card;
            for (const ContactField& field : ContactFields())
                if (field.bookTag != PR_CHILDRENS_NAMES_A)
                    if (const Property* prop = entry.Find(field.bookTag))
                        card.fields.emplace_back(field.name, FieldText(*prop));
            card.emails = Emails(entry);
            const Property* index = entry.Find(PR_CONTACT_DEFAULT_ADDRESS_INDEX);
            if (index && index->number > 0 && static_cast<size_t>(index->number) < card.emails.size())
                std::rotate(card.emails.begin(), card.emails.begin() + index->number,
                            card.emails.begin() + index->number + 1);
            text += WriteVCard(card);
            ++exported;
        }
        return exported;
    });
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) throw CliError("cannot write " + path);
    std::cout << "exported " << count << " contact" << (count == 1 ? "" : "s") << " to " << path
              << "\n";
}

void AddEntryOptions(CLI::App* command, EntryArguments& arguments) {
    command->add_option("--set", arguments.sets, "FIELD=VALUE (fields: see --help of show)")
        ->allow_extra_args(false);
    command->add_option("--email", arguments.emails, "an e-mail address, in order")
        ->allow_extra_args(false);
    command->add_option("--default-email", arguments.defaultEmail,
                        "position (from 0) of the default address");
}

}  // namespace

std::uint32_t ParseContactId(const std::string& text) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        throw CliError("'" + text + "' is not a contact number");
    return static_cast<std::uint32_t>(std::stoul(text));
}

void AddContactsCommands(CLI::App& app, CliContext& context) {
    auto* desktop = GroupCommand(app, "desktop", "the emulated desktop's products");
    auto* contacts = desktop->add_subcommand("contacts", "the desktop's address book");
    contacts->require_subcommand(1);
    contacts->add_subcommand("install", "install the address book into the desktop")
        ->callback([&context] {
            auto world = context.OpenWorld();
            emu::wab::InstallAddressBook(world->Desktop());
            std::cout << "installed the address book: " << pal::U8(emu::wab::kLibraryPath) << "\n";
        });

    auto addArguments = std::make_shared<EntryArguments>();
    auto* add = contacts->add_subcommand("add", "add a contact (or, with --group, a group)");
    AddEntryOptions(add, *addArguments);
    add->add_option("--folder", addArguments->folders, "an address-book folder holding it (made "
                                                       "when missing)")
        ->allow_extra_args(false);
    add->add_flag("--group", addArguments->group, "add a group (distribution list)");
    add->callback([&context, addArguments] { Add(context, *addArguments); });

    auto editId = std::make_shared<std::string>();
    auto editArguments = std::make_shared<EntryArguments>();
    auto* edit = contacts->add_subcommand("edit", "change fields of a contact");
    edit->add_option("ID", *editId, "contact number")->required();
    AddEntryOptions(edit, *editArguments);
    edit->add_option("--clear", editArguments->clears, "empty a field ('email': every address)")
        ->allow_extra_args(false);
    edit->callback([&context, editId, editArguments] {
        Edit(context, ParseContactId(*editId), *editArguments);
    });

    auto deleteId = std::make_shared<std::string>();
    auto* remove = contacts->add_subcommand("delete", "delete a contact or group");
    remove->add_option("ID", *deleteId, "contact number")->required();
    remove->callback([&context, deleteId] {
        std::uint32_t id = ParseContactId(*deleteId);
        auto world = context.OpenWorld();
        Book([&] {
            EntryOrFail(world->Desktop(), id);
            emu::wab::DeleteEntry(world->Desktop(), id);
            return 0;
        });
        std::cout << "deleted " << id << "\n";
    });

    auto scope = std::make_shared<bool>(false);
    auto* list = contacts->add_subcommand("list", "list contacts and groups");
    list->add_flag("--scope", *scope,
                   "mark each contact 'in' or 'out' of what the contacts folder synchronizes");
    list->callback([&context, scope] { List(context, *scope); });

    auto showId = std::make_shared<std::string>();
    std::string fields = "fields: email";
    for (const ContactField& field : ContactFields()) fields += std::string(" ") + field.name;
    auto* show = contacts->add_subcommand("show", "print every field of a contact; " + fields);
    show->add_option("ID", *showId, "contact number")->required();
    show->callback([&context, showId] { Show(context, ParseContactId(*showId)); });

    auto importFile = std::make_shared<std::string>();
    auto* import = contacts->add_subcommand("import", "add the contacts of a vCard file");
    import->add_option("--vcard", *importFile, "vCard 3.0 or 4.0 file")->required();
    import->callback([&context, importFile] { Import(context, *importFile); });

    auto exportFile = std::make_shared<std::string>();
    auto* exporting = contacts->add_subcommand("export", "write every contact as vCard 3.0");
    exporting->add_option("--vcard", *exportFile, "file to write")->required();
    exporting->callback([&context, exportFile] { Export(context, *exportFile); });

    AddContactsStoreCommands(contacts, context);
}

}  // namespace velumex
