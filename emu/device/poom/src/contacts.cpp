#include "emu/poom/contacts.h"

#include <pimstore.h>

#include "com_objects.h"
#include "contacts_database.h"
#include "pal/runtime/com_registry.h"
#include "pal/runtime/context.h"

namespace emu::poom {

void Install(pal::Machine& device) {
    pal::ScopedContext context(device);
    EnsureContactsDatabase();
    auto* factory = new ApplicationFactory;
    pal::RegisterClassObject(device, CLSID_Application, factory);
    factory->Release();
}

CEOID AddContact(pal::Machine& device, const std::u16string& fileAs) {
    pal::ScopedContext context(device);
    EnsureContactsDatabase();
    ContactsDatabase database;
    CEOID contact = database.Write(0, fileAs);
    if (contact) PostRemoteNotification(PIM_ITEM_CREATED_REMOTE, contact);
    return contact;
}

bool ChangeContact(pal::Machine& device, CEOID contact, const std::u16string& fileAs) {
    pal::ScopedContext context(device);
    ContactsDatabase database;
    if (!database.Exists(contact) || !database.Write(contact, fileAs)) return false;
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

}  // namespace emu::poom
