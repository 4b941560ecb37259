#include "emu/poom/contacts.h"

#include <pimstore.h>

#include <algorithm>
#include <cctype>

#include "com_objects.h"
#include "contacts_database.h"
#include "pal/runtime/com_registry.h"
#include "pal/runtime/context.h"

namespace emu::poom {

namespace {

#define POOM_FIELD(Name, id) {#Name, id},
constexpr ContactField kFields[] = {
    POOM_CONTACT_STRING_PROPERTIES(POOM_FIELD) POOM_CONTACT_DATE_PROPERTIES(POOM_FIELD)
    {"Nickname", 0x0086001F},
};
#undef POOM_FIELD

bool SameName(const std::string& a, const char* b) {
    std::string other(b);
    return std::equal(a.begin(), a.end(), other.begin(), other.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// The text of a field the values hold, empty when absent.
std::u16string TextOf(const ContactValues& values, const char* field) {
    auto found = values.find(FindField(field)->id);
    if (found == values.end()) return {};
    const auto* text = std::get_if<std::u16string>(&found->second);
    return text ? *text : std::u16string();
}

// The file-as name the contacts application gives a contact saved without one: "Last, First",
// else whichever of the two is there, else the company, else the first e-mail address.
std::u16string DefaultFileAs(const ContactValues& values) {
    std::u16string first = TextOf(values, "FirstName"), last = TextOf(values, "LastName");
    if (!first.empty() && !last.empty()) return last + u", " + first;
    if (!first.empty() || !last.empty()) return first + last;
    std::u16string company = TextOf(values, "CompanyName");
    return company.empty() ? TextOf(values, "Email1Address") : company;
}

}  // namespace

std::span<const ContactField> ContactFields() { return kFields; }

const ContactField* FindField(const std::string& name) {
    for (const auto& field : kFields)
        if (SameName(name, field.name)) return &field;
    return nullptr;
}

void Install(pal::Machine& device) {
    pal::ScopedContext context(device);
    EnsureContactsDatabase();
    auto* factory = new ApplicationFactory;
    pal::RegisterClassObject(device, CLSID_Application, factory);
    factory->Release();
}

CEOID AddContact(pal::Machine& device, const std::u16string& fileAs) {
    return AddContact(device, ContactValues{{kFileAsProperty, fileAs}});
}

CEOID AddContact(pal::Machine& device, const ContactValues& values) {
    pal::ScopedContext context(device);
    EnsureContactsDatabase();
    ContactsDatabase database;
    ContactValues stored = values;
    auto fileAs = stored.find(kFileAsProperty);
    const auto* given =
        fileAs == stored.end() ? nullptr : std::get_if<std::u16string>(&fileAs->second);
    if (!given || given->empty()) {
        std::u16string name = DefaultFileAs(values);
        if (!name.empty()) stored[kFileAsProperty] = name;
    }
    CEOID contact = database.Write(0, stored, {});
    if (contact) PostRemoteNotification(PIM_ITEM_CREATED_REMOTE, contact);
    return contact;
}

bool ChangeContact(pal::Machine& device, CEOID contact, const std::u16string& fileAs) {
    return ChangeContact(device, contact, ContactValues{{kFileAsProperty, fileAs}}, {});
}

bool ChangeContact(pal::Machine& device, CEOID contact, const ContactValues& values,
                   const std::vector<CEPROPID>& cleared) {
    pal::ScopedContext context(device);
    ContactsDatabase database;
    if (!database.Exists(contact) || !database.Write(contact, values, cleared)) return false;
    PostRemoteNotification(PIM_ITEM_CHANGED_REMOTE, contact);
    return true;
}

bool DeleteContact(pal::Machine& device, CEOID contact) {
    pal::ScopedContext context(device);
    ContactsDatabase database;
    if (!database.Delete(contact)) return false;
    PostRemoteNotification(PIM_ITEM_DELETED_REMOTE, contact);
    return true;
}

std::vector<Contact> Contacts(pal::Machine& device) {
    pal::ScopedContext context(device);
    ContactsDatabase database;
    return database.All();
}

std::optional<Contact> FindContact(pal::Machine& device, CEOID contact) {
    pal::ScopedContext context(device);
    ContactsDatabase database;
    return database.Read(contact);
}

}  // namespace emu::poom
