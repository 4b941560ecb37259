// The address book's controls for tests and the command line, and its installation.
#include <dlfcn.h>
#include <wab.h>
#include <windows.h>

#include <algorithm>

#include "book.h"
#include "emu/wab/address_book.h"
#include "entry_ids.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/module_install.h"

namespace emu::wab {

namespace {

bool IsOwnTag(std::uint32_t tag) {
    return tag == PR_ENTRYID || tag == PR_OBJECT_TYPE || tag == PR_LAST_MODIFICATION_TIME ||
           tag == PR_WAB_FOLDER_PARENT;
}

void CheckProps(const std::vector<Property>& props) {
    for (const Property& prop : props)
        if (IsOwnTag(prop.tag)) throw AddressBookError("address book: a property the book keeps "
                                                       "itself cannot be set");
}

void CheckFolders(Book& book, const std::vector<std::uint32_t>& folders) {
    for (std::uint32_t folder : folders) {
        std::optional<Entry> entry = book.Load(folder);
        if (!entry || entry->type != kFolder)
            throw AddressBookError("address book: no folder " + std::to_string(folder));
    }
}

std::filesystem::path ModuleFolder() {
    Dl_info info{};
    if (!::dladdr(reinterpret_cast<void*>(&InstallAddressBook), &info) || !info.dli_fname)
        throw std::runtime_error("address book: cannot locate its own library");
    return std::filesystem::path(info.dli_fname).parent_path();
}

void SetString(HKEY root, const char16_t* key, std::u16string_view value) {
    std::u16string data(value);
    HKEY handle = nullptr;
    // Opens the key, creating it and its parents.
    LONG result = RegCreateKeyExW(root, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                  nullptr, &handle, nullptr);
    if (result == ERROR_SUCCESS) {
        // The default value, with its terminator.
        result = RegSetValueExW(handle, u"", 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                static_cast<DWORD>((data.size() + 1) * sizeof(char16_t)));
        // Written through, so the installation survives the world's next opening.
        if (result == ERROR_SUCCESS) result = RegFlushKey(handle);
        RegCloseKey(handle);
    }
    if (result != ERROR_SUCCESS)
        throw std::runtime_error("address book: cannot write " + pal::U8(key) + " (error " +
                                 std::to_string(result) + ")");
}

bool HasDefaultValue(HKEY root, const char16_t* key) {
    HKEY handle = nullptr;
    // Opens an existing key only.
    if (RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    // Asks only whether the value is there.
    bool found = RegQueryValueExW(handle, u"", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return found;
}

}  // namespace

Property Property::Text(std::uint32_t tag, std::string text) {
    Property prop;
    prop.tag = tag;
    prop.items.push_back(std::move(text));
    return prop;
}

Property Property::Number(std::uint32_t tag, std::int64_t number) {
    Property prop;
    prop.tag = tag;
    prop.number = number;
    return prop;
}

Property Property::List(std::uint32_t tag, std::vector<std::string> items) {
    Property prop;
    prop.tag = tag;
    prop.items = std::move(items);
    return prop;
}

const Property* Entry::Find(std::uint32_t tag) const {
    for (const Property& prop : props)
        if (prop.tag == tag) return &prop;
    return nullptr;
}

std::string Entry::TextOf(std::uint32_t tag) const {
    const Property* prop = Find(tag);
    return prop && !prop->items.empty() ? prop->items.front() : std::string();
}

void InstallAddressBook(pal::Machine& machine) {
    if (!machine.IsDesktop()) throw std::runtime_error("the address book installs on a desktop");
    pal::InstallModule(machine, ModuleFolder() / "wab_library.so", kLibraryPath);
    pal::ScopedContext context(machine);
    SetString(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\WAB\\DLLPath", kLibraryPath);
    if (!HasDefaultValue(HKEY_CURRENT_USER, u"Software\\Microsoft\\WAB\\WAB4\\Wab File Name"))
        SetString(HKEY_CURRENT_USER, u"Software\\Microsoft\\WAB\\WAB4\\Wab File Name",
                  kDefaultBookFile);
}

std::filesystem::path BookFile(pal::Machine& machine) {
    Book& book = machine.Get<Book>();
    std::lock_guard<std::recursive_mutex> guard(book.Lock());
    return book.File();
}

std::uint32_t AddEntry(pal::Machine& machine, int type, std::vector<Property> props,
                       std::vector<std::uint32_t> folders) {
    CheckProps(props);
    if (type != kContact && type != kGroup && type != kFolder)
        throw AddressBookError("address book: unknown entry type " + std::to_string(type));
    Book& book = machine.Get<Book>();
    std::lock_guard<std::recursive_mutex> guard(book.Lock());
    CheckFolders(book, folders);
    Entry entry;
    entry.type = type;
    entry.props = std::move(props);
    entry.folders = std::move(folders);
    return book.Insert(std::move(entry));
}

std::uint32_t AddFolder(pal::Machine& machine, const std::string& name) {
    if (name.empty()) throw AddressBookError("address book: a folder needs a name");
    Book& book = machine.Get<Book>();
    std::lock_guard<std::recursive_mutex> guard(book.Lock());
    for (const Entry& entry : book.All())
        if (entry.type == kFolder && entry.TextOf(PR_DISPLAY_NAME_A) == name) return entry.id;
    return AddEntry(machine, kFolder, {Property::Text(PR_DISPLAY_NAME_A, name)});
}

bool UpdateEntry(pal::Machine& machine, std::uint32_t id, const std::vector<Property>& props,
                 const std::vector<std::uint32_t>& removed) {
    CheckProps(props);
    Book& book = machine.Get<Book>();
    std::lock_guard<std::recursive_mutex> guard(book.Lock());
    std::optional<Entry> entry = book.Load(id);
    if (!entry) return false;
    auto& list = entry->props;
    for (const Property& prop : props) {
        auto same = std::find_if(list.begin(), list.end(),
                                 [&](const Property& p) { return p.tag == prop.tag; });
        if (same != list.end())
            *same = prop;
        else
            list.push_back(prop);
    }
    std::erase_if(list, [&](const Property& p) {
        return std::find(removed.begin(), removed.end(), p.tag) != removed.end();
    });
    return book.Store(*entry);
}

bool DeleteEntry(pal::Machine& machine, std::uint32_t id) {
    Book& book = machine.Get<Book>();
    std::lock_guard<std::recursive_mutex> guard(book.Lock());
    return book.Remove(id);
}

std::vector<Entry> ListEntries(pal::Machine& machine) {
    Book& book = machine.Get<Book>();
    std::lock_guard<std::recursive_mutex> guard(book.Lock());
    return book.All();
}

std::optional<Entry> FindEntry(pal::Machine& machine, std::uint32_t id) {
    Book& book = machine.Get<Book>();
    std::lock_guard<std::recursive_mutex> guard(book.Lock());
    return book.Load(id);
}

std::vector<std::uint8_t> EntryIdOf(std::uint32_t id) { return MakeEntryId(kIdEntry, id); }

std::optional<std::uint32_t> EntryNumberOf(const std::uint8_t* bytes, std::size_t size) {
    std::optional<ParsedId> parsed = ParseEntryId(bytes, size);
    if (!parsed || parsed->kind != kIdEntry) return std::nullopt;
    return parsed->number;
}

std::size_t AdviseCount(pal::Machine& machine) {
    Book& book = machine.Get<Book>();
    std::lock_guard<std::recursive_mutex> guard(book.Lock());
    return book.SinkCount();
}

}  // namespace emu::wab
