// The device's contacts as Pocket Outlook keeps them: one record per contact in the object
// store's "Contacts Database", the record's CEOID being the contact's identifier and each of its
// properties stored under the contact property identifier of <pimstore.h>.
//
// Changes made through the functions below are changes by another program of the device: the
// property-database engine posts WM_DBNOTIFICATION to windows that opened the database with a
// notification request, and Pocket Outlook posts PIM_ITEM_CREATED_REMOTE / _DELETED_REMOTE /
// _CHANGED_REMOTE to the windows of applications that asked for remote folder notifications.
#pragma once

#include <cedb.h>

#include <map>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace pal {
class Machine;
}

namespace emu::poom {

inline constexpr char16_t kContactsDatabase[] = u"Contacts Database";
// The contact's display ("file as") name.
inline constexpr CEPROPID kFileAsProperty = 0x0080001F;

// A stored property value: text (CEVT_LPWSTR), a date (CEVT_FILETIME) or a number (CEVT_UI4).
using PropertyValue = std::variant<std::u16string, FILETIME, ULONG>;
using ContactValues = std::map<CEPROPID, PropertyValue>;

// A contact property by name: every IContact property and the named extended ones.
struct ContactField {
    const char* name;
    CEPROPID id;
};
std::span<const ContactField> ContactFields();
// The field of that name (case-insensitive) or null.
const ContactField* FindField(const std::string& name);

// Sets Pocket Outlook up on the device for this run: creates the contacts database when it is
// missing and registers the application class (CLSID_Application) on the machine.
void Install(pal::Machine& device);

// Adds a contact as the device's user does in the contacts application, which files a contact
// given no file-as name as "Last, First" (or the one name, else the company, else the first
// e-mail address); its identifier, or 0 when the database cannot be written.
CEOID AddContact(pal::Machine& device, const std::u16string& fileAs);
CEOID AddContact(pal::Machine& device, const ContactValues& values);
// Renames a contact; false when there is no such contact.
bool ChangeContact(pal::Machine& device, CEOID contact, const std::u16string& fileAs);
// Sets `values` and removes `cleared` in one write; false when there is no such contact.
bool ChangeContact(pal::Machine& device, CEOID contact, const ContactValues& values,
                   const std::vector<CEPROPID>& cleared);
// Deletes a contact; false when there is no such contact.
bool DeleteContact(pal::Machine& device, CEOID contact);

struct Contact {
    CEOID oid = 0;
    std::u16string fileAs;
    ContactValues values;
};
// Every contact in database order.
std::vector<Contact> Contacts(pal::Machine& device);
// One contact, or nullopt when there is none with that identifier.
std::optional<Contact> FindContact(pal::Machine& device, CEOID contact);

}  // namespace emu::poom
