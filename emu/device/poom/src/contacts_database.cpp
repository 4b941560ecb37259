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

namespace {

// The contact held by a record read with all its properties.
Contact ContactOf(CEOID record, const CEPROPVAL* values, WORD count) {
    Contact contact{record, {}, {}};
    for (WORD i = 0; i < count; ++i) {
        const CEPROPVAL& value = values[i];
        switch (value.propid & 0xFFFF) {
            case CEVT_LPWSTR: contact.values[value.propid] = std::u16string(value.val.lpwstr); break;
            case CEVT_FILETIME: contact.values[value.propid] = value.val.filetime; break;
            case CEVT_UI4: contact.values[value.propid] = value.val.ulVal; break;
            default: break;
        }
    }
    auto fileAs = contact.values.find(kFileAsProperty);
    if (fileAs != contact.values.end()) contact.fileAs = std::get<std::u16string>(fileAs->second);
    return contact;
}

}  // namespace

std::vector<Contact> ContactsDatabase::All() {
    std::vector<Contact> contacts;
    if (!IsOpen() || !CeSeekDatabase(m_handle, CEDB_SEEK_BEGINNING, 0, nullptr)) return contacts;
    LPBYTE buffer = nullptr;
    DWORD size = 0;
    for (;;) {
        WORD count = 0;
        CEOID record =
            CeReadRecordPropsEx(m_handle, CEDB_ALLOWREALLOC, &count, nullptr, &buffer, &size, nullptr);
        if (!record) break;
        contacts.push_back(ContactOf(record, reinterpret_cast<CEPROPVAL*>(buffer), count));
        if (!CeSeekDatabase(m_handle, CEDB_SEEK_CURRENT, 1, nullptr)) break;
    }
    if (buffer) LocalFree(buffer);
    return contacts;
}

std::optional<Contact> ContactsDatabase::Read(CEOID contact) {
    if (!Exists(contact)) return std::nullopt;
    LPBYTE buffer = nullptr;
    DWORD size = 0;
    WORD count = 0;
    CEOID record =
        CeReadRecordPropsEx(m_handle, CEDB_ALLOWREALLOC, &count, nullptr, &buffer, &size, nullptr);
    std::optional<Contact> result;
    if (record == contact) result = ContactOf(record, reinterpret_cast<CEPROPVAL*>(buffer), count);
    if (buffer) LocalFree(buffer);
    return result;
}

CEOID ContactsDatabase::Write(CEOID contact, const ContactValues& values,
                              const std::vector<CEPROPID>& cleared) {
    if (!IsOpen()) return 0;
    std::vector<std::u16string> texts;
    texts.reserve(values.size());
    std::vector<CEPROPVAL> written;
    for (const auto& [id, value] : values) {
        CEPROPVAL property{};
        property.propid = id;
        if (const auto* text = std::get_if<std::u16string>(&value)) {
            texts.push_back(*text);
            property.val.lpwstr = texts.back().data();
        } else if (const auto* time = std::get_if<FILETIME>(&value)) {
            property.val.filetime = *time;
        } else {
            property.val.ulVal = std::get<ULONG>(value);
        }
        written.push_back(property);
    }
    // A new record has nothing to remove.
    for (CEPROPID id : cleared) {
        if (!contact || values.count(id)) continue;
        CEPROPVAL property{};
        property.propid = id;
        property.wFlags = CEDB_PROPDELETE;
        written.push_back(property);
    }
    return CeWriteRecordProps(m_handle, contact, static_cast<WORD>(written.size()), written.data());
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
