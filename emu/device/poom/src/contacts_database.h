// The contacts database of the current machine, opened for one operation.
#pragma once

#include <cedb.h>

#include <string>
#include <vector>

#include "emu/poom/contacts.h"

namespace emu::poom {

// Creates "Contacts Database" in the object store when it is missing.
void EnsureContactsDatabase();

class ContactsDatabase {
public:
    // Opens the database; IsOpen() says whether that worked.
    ContactsDatabase();
    ~ContactsDatabase();
    ContactsDatabase(const ContactsDatabase&) = delete;
    ContactsDatabase& operator=(const ContactsDatabase&) = delete;

    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    bool Exists(CEOID contact);
    std::vector<Contact> All();
    CEOID Write(CEOID contact, const std::u16string& fileAs);
    bool Delete(CEOID contact);

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};

// Posts `message` with the contact's identifier to every window that asked for remote
// notifications of the contacts folder on the current machine.
void PostRemoteNotification(UINT message, CEOID contact);
// Registers or drops a window for remote contact notifications.
void WatchRemoteChanges(HWND window);
void StopWatchingRemoteChanges(HWND window);

}  // namespace emu::poom
