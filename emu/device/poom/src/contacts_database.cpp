#include "contacts_database.h"

#include <pimstore.h>

#include <algorithm>
#include <mutex>

#include "pal/runtime/components.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"

namespace emu::poom {

namespace {

// The windows of one machine that receive remote contact notifications.
class RemoteWatchers : public pal::Component {
public:
    explicit RemoteWatchers(pal::Machine&) {}
    std::mutex lock;
    std::vector<HWND> windows;
};

RemoteWatchers& Watchers() { return pal::CurrentMachine().Get<RemoteWatchers>(); }

}  // namespace

void EnsureContactsDatabase() {
    CEGUID store;
    CREATE_SYSTEMGUID(&store);
    CEDBASEINFO info{};
    info.dwFlags = CEDB_VALIDNAME;
    std::copy(std::begin(kContactsDatabase), std::end(kContactsDatabase), info.szDbaseName);
    // Fails with ERROR_DUP_NAME when the database is there already, which is what is wanted.
    CeCreateDatabaseEx(&store, &info);
}

ContactsDatabase::ContactsDatabase() {
    CEGUID store;
    CREATE_SYSTEMGUID(&store);
    CEOID oid = 0;
    std::u16string name(kContactsDatabase);
    m_handle = CeOpenDatabaseEx(&store, &oid, name.data(), 0, 0, nullptr);
}

ContactsDatabase::~ContactsDatabase() {
    if (IsOpen()) CloseHandle(m_handle);
}

bool ContactsDatabase::Exists(CEOID contact) {
    return contact && IsOpen() &&
           CeSeekDatabase(m_handle, CEDB_SEEK_CEOID, contact, nullptr) == contact;
}

std::vector<Contact> ContactsDatabase::All() {
    std::vector<Contact> contacts;
    if (!IsOpen() || !CeSeekDatabase(m_handle, CEDB_SEEK_BEGINNING, 0, nullptr)) return contacts;
    LPBYTE buffer = nullptr;
    DWORD size = 0;
    for (;;) {
        WORD count = 1;
        CEPROPID id = kFileAsProperty;
        CEOID record =
            CeReadRecordPropsEx(m_handle, CEDB_ALLOWREALLOC, &count, &id, &buffer, &size, nullptr);
        if (!record) break;
        auto* value = reinterpret_cast<CEPROPVAL*>(buffer);
        Contact contact{record, {}};
        if (!(value->wFlags & CEDB_PROPNOTFOUND)) contact.fileAs = value->val.lpwstr;
        contacts.push_back(std::move(contact));
        if (!CeSeekDatabase(m_handle, CEDB_SEEK_CURRENT, 1, nullptr)) break;
    }
    if (buffer) LocalFree(buffer);
    return contacts;
}

CEOID ContactsDatabase::Write(CEOID contact, const std::u16string& fileAs) {
    if (!IsOpen()) return 0;
    std::u16string text = fileAs;
    CEPROPVAL value{};
    value.propid = kFileAsProperty;
    value.val.lpwstr = text.data();
    return CeWriteRecordProps(m_handle, contact, 1, &value);
}

bool ContactsDatabase::Delete(CEOID contact) {
    return Exists(contact) && CeDeleteRecord(m_handle, contact);
}

void PostRemoteNotification(UINT message, CEOID contact) {
    auto& watchers = Watchers();
    std::lock_guard<std::mutex> guard(watchers.lock);
    for (HWND window : watchers.windows)
        PostMessageW(window, message, static_cast<WPARAM>(contact), olFolderContacts);
}

void WatchRemoteChanges(HWND window) {
    auto& watchers = Watchers();
    std::lock_guard<std::mutex> guard(watchers.lock);
    if (std::find(watchers.windows.begin(), watchers.windows.end(), window) ==
        watchers.windows.end())
        watchers.windows.push_back(window);
}

void StopWatchingRemoteChanges(HWND window) {
    auto& watchers = Watchers();
    std::lock_guard<std::mutex> guard(watchers.lock);
    std::erase(watchers.windows, window);
}

}  // namespace emu::poom
