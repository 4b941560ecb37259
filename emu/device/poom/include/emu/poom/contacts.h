// The device's contacts as Pocket Outlook keeps them: one record per contact in the object
// store's "Contacts Database", the record's CEOID being the contact's identifier.
//
// Changes made through the functions below are changes by another program of the device: the
// property-database engine posts WM_DBNOTIFICATION to windows that opened the database with a
// notification request, and Pocket Outlook posts PIM_ITEM_CREATED_REMOTE / _DELETED_REMOTE /
// _CHANGED_REMOTE to the windows of applications that asked for remote folder notifications.
#pragma once

#include <cedb.h>

#include <string>
#include <vector>

namespace pal {
class Machine;
}

namespace emu::poom {

inline constexpr char16_t kContactsDatabase[] = u"Contacts Database";
// The contact's display ("file as") name, the one property this emulation gives every contact.
inline constexpr CEPROPID kFileAsProperty = 0x4013001F;

// Sets Pocket Outlook up on the device for this run: creates the contacts database when it is
// missing and registers the application class (CLSID_Application) on the machine.
void Install(pal::Machine& device);

// Adds a contact; its identifier, or 0 when the database cannot be written.
CEOID AddContact(pal::Machine& device, const std::u16string& fileAs);
// Renames a contact; false when there is no such contact.
bool ChangeContact(pal::Machine& device, CEOID contact, const std::u16string& fileAs);
// Deletes a contact; false when there is no such contact.
bool DeleteContact(pal::Machine& device, CEOID contact);

struct Contact {
    CEOID oid = 0;
    std::u16string fileAs;
};
// Every contact in database order.
std::vector<Contact> Contacts(pal::Machine& device);

}  // namespace emu::poom
