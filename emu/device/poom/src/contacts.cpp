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
    CEOID contact = database.Write(0, values, {});
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
