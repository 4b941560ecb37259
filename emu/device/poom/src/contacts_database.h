// The contacts database of the current machine, opened for one operation.
#pragma once

#include <cedb.h>

#include <optional>
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
    std::optional<Contact> Read(CEOID contact);
    // Writes `values` and removes `cleared` in one record write (0: a new record); the record's
    // identifier, 0 on failure.
    CEOID Write(CEOID contact, const ContactValues& values, const std::vector<CEPROPID>& cleared);
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
