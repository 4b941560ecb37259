// velumex device contacts list | show | add | edit | delete: the device's contacts as its user
// sees them. Changes are made as another program of the device makes them, so the notification
// service learns of them the way it learns of the user's own.
#include <cstdio>
#include <iostream>
#include <memory>

#include "cli.h"
#include "emu/poom/contacts.h"
#include "pal/runtime/encoding.h"

namespace velumex {

namespace {

using emu::poom::ContactValues;

CEOID ParseOid(const std::string& text) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        throw CliError("'" + text + "' is not a contact identifier");
    unsigned long long oid = std::stoull(text);
    if (oid == 0 || oid > 0xFFFFFFFFull) throw CliError("'" + text + "' is not a contact identifier");
    return static_cast<CEOID>(oid);
}

const emu::poom::ContactField& Field(const std::string& name) {
    const auto* field = emu::poom::FindField(name);
    if (!field) throw CliError("'" + name + "' is not a contact field (see 'velumex device contacts fields')");
    return *field;
}

FILETIME ParseDate(const std::string& text) {
    SYSTEMTIME fields{};
    unsigned year = 0, month = 0, day = 0;
    char extra = 0;
    FILETIME time{};
    if (std::sscanf(text.c_str(), "%4u-%2u-%2u%c", &year, &month, &day, &extra) != 3 ||
        year < 1601 || month < 1 || month > 12 || day < 1 || day > 31)
        throw CliError("'" + text + "' is not a date (YYYY-MM-DD)");
    fields.wYear = static_cast<WORD>(year);
    fields.wMonth = static_cast<WORD>(month);
    fields.wDay = static_cast<WORD>(day);
    if (!SystemTimeToFileTime(&fields, &time)) throw CliError("'" + text + "' is not a date");
    return time;
}

// NAME=VALUE pairs as stored values.
ContactValues ParseValues(const std::vector<std::string>& pairs) {
    ContactValues values;
    for (const auto& pair : pairs) {
        auto equals = pair.find('=');
        if (equals == std::string::npos) throw CliError("'" + pair + "' is not NAME=VALUE");
        const auto& field = Field(pair.substr(0, equals));
        std::string value = pair.substr(equals + 1);
        if ((field.id & 0xFFFF) == CEVT_FILETIME) {
            values[field.id] = ParseDate(value);
        } else {
            if (!pal::IsValidUtf8(value)) throw CliError("'" + pair + "' is not valid UTF-8");
            if (value.empty()) throw CliError("'" + pair + "' has no value: use --clear");
            values[field.id] = pal::U16(value);
        }
    }
    return values;
}

std::string Show(const emu::poom::PropertyValue& value) {
    if (const auto* text = std::get_if<std::u16string>(&value)) return pal::U8(*text);
    if (const auto* number = std::get_if<ULONG>(&value)) return std::to_string(*number);
    SYSTEMTIME fields{};
    FileTimeToSystemTime(&std::get<FILETIME>(value), &fields);
    char date[32];
    std::snprintf(date, sizeof(date), "%04u-%02u-%02u", fields.wYear, fields.wMonth, fields.wDay);
    return date;
}

std::string NameOf(CEPROPID id) {
    for (const auto& field : emu::poom::ContactFields())
        if (field.id == id) return field.name;
    char hex[16];
    std::snprintf(hex, sizeof(hex), "0x%08X", id);
    return hex;
}

template <class Body>
void OnContacts(CliContext& context, Body&& body) {
    auto world = context.OpenWorld();
    pal::Machine& device = world->Device();
    emu::poom::Install(device);
    body(device);
}

// A change runs with the device's services up, so that the notification service journals it as
// it happens; made while they are down, it would never be seen as a change of the device's.
template <class Body>
void ChangeContacts(CliContext& context, Body&& body) {
    auto world = context.OpenWorld();
    RunningDevice running(world->Device());
    body(world->Device());
}

}  // namespace

void AddDeviceContactsCommands(CLI::App& app, CliContext& context) {
    auto* device = GroupCommand(app, "device", "the emulated device");
    auto* contacts = GroupCommand(*device, "contacts", "the device's contacts");

    contacts->add_subcommand("fields", "list the field names add and edit take")->callback([] {
        for (const auto& field : emu::poom::ContactFields()) std::cout << field.name << "\n";
    });

    contacts->add_subcommand("list", "one line per contact: identifier and file-as name")
        ->callback([&context] {
            OnContacts(context, [](pal::Machine& machine) {
                for (const auto& contact : emu::poom::Contacts(machine))
                    std::cout << contact.oid << "\t" << pal::U8(contact.fileAs) << "\n";
            });
        });

    auto shown = std::make_shared<std::string>();
    auto* show = contacts->add_subcommand("show", "every field of one contact");
    show->add_option("OID", *shown, "the contact's identifier")->required();
    show->callback([&context, shown] {
        OnContacts(context, [&](pal::Machine& machine) {
            auto contact = emu::poom::FindContact(machine, ParseOid(*shown));
            if (!contact) throw CliError("the device has no contact " + *shown);
            for (const auto& [id, value] : contact->values)
                std::cout << NameOf(id) << ": " << Show(value) << "\n";
        });
    });

    auto added = std::make_shared<std::vector<std::string>>();
    auto* add = contacts->add_subcommand("add", "add a contact; prints its identifier");
    add->add_option("--set", *added, "NAME=VALUE (dates YYYY-MM-DD); repeatable")->required();
    add->callback([&context, added] {
        ContactValues values = ParseValues(*added);
        ChangeContacts(context, [&](pal::Machine& machine) {
            CEOID oid = emu::poom::AddContact(machine, values);
            if (!oid) throw CliError("the contact could not be stored");
            std::cout << oid << "\n";
        });
    });

    auto edited = std::make_shared<std::string>();
    auto setValues = std::make_shared<std::vector<std::string>>();
    auto cleared = std::make_shared<std::vector<std::string>>();
    auto* edit = contacts->add_subcommand("edit", "change fields of a contact");
    edit->add_option("OID", *edited, "the contact's identifier")->required();
    edit->add_option("--set", *setValues, "NAME=VALUE (dates YYYY-MM-DD); repeatable");
    edit->add_option("--clear", *cleared, "NAME: empty that field; repeatable");
    edit->callback([&context, edited, setValues, cleared] {
        CEOID oid = ParseOid(*edited);
        ContactValues values = ParseValues(*setValues);
        std::vector<CEPROPID> clear;
        for (const auto& name : *cleared) clear.push_back(Field(name).id);
        if (values.empty() && clear.empty()) throw CliError("nothing to change: give --set or --clear");
        ChangeContacts(context, [&](pal::Machine& machine) {
            if (!emu::poom::ChangeContact(machine, oid, values, clear))
                throw CliError("the device has no contact " + *edited);
            std::cout << "changed contact " << oid << "\n";
        });
    });

    auto deleted = std::make_shared<std::string>();
    auto* remove = contacts->add_subcommand("delete", "delete a contact");
    remove->add_option("OID", *deleted, "the contact's identifier")->required();
    remove->callback([&context, deleted] {
        CEOID oid = ParseOid(*deleted);
        ChangeContacts(context, [&](pal::Machine& machine) {
            if (!emu::poom::DeleteContact(machine, oid))
                throw CliError("the device has no contact " + *deleted);
            std::cout << "deleted contact " << oid << "\n";
        });
    });
}

}  // namespace velumex
