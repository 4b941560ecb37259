#include "wab_options.h"

#include <vector>

#include "partnership_key.h"

namespace {

constexpr DWORD kAllFolders = 0x1;
constexpr DWORD kUnfiled = 0x2;

// The names of a REG_MULTI_SZ value up to the first empty one, read within the value's bytes
// alone: a value without its final terminators ends at its last byte.
std::set<std::string> ParseNames(const std::vector<char>& data) {
    std::set<std::string> names;
    size_t at = 0;
    while (at < data.size() && data[at] != '\0') {
        size_t end = at;
        while (end < data.size() && data[end] != '\0') ++end;
        names.emplace(data.data() + at, end - at);
        at = end + 1;
    }
    return names;
}

}  // namespace

void LoadContactOptions(HKEY partnership, ContactFolderFilter* filter) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(partnership, PARTNERSHIP_OPTIONS_SUBKEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    DWORD options = 0;
    DWORD type = 0;
    DWORD size = sizeof options;
    if (RegQueryValueExA(key, "FolderOptions", nullptr, &type, reinterpret_cast<LPBYTE>(&options),
                         &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof options) {
        filter->allFolders = (options & kAllFolders) ? 1 : 0;
        filter->unfiled = (options & kUnfiled) ? 1 : 0;
    }
    size = 0;
    // The size of "Folders" first, then its bytes; a value of another type counts as missing.
    if (!filter->allFolders &&
        RegQueryValueExA(key, "Folders", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_MULTI_SZ) {
        std::vector<char> data(size);
        if (size == 0 ||
            RegQueryValueExA(key, "Folders", nullptr, &type, reinterpret_cast<LPBYTE>(data.data()),
                             &size) == ERROR_SUCCESS) {
            data.resize(size);
            filter->folders = ParseNames(data);
        }
    }
    RegCloseKey(key);
}

LONG SaveContactOptions(HKEY partnership, const ContactFolderFilter& filter) {
    HKEY key = nullptr;
    LONG result = RegCreateKeyExA(partnership, PARTNERSHIP_OPTIONS_SUBKEY, 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS) return result;
    DWORD options = (filter.unfiled ? kUnfiled : 0) | (filter.allFolders ? kAllFolders : 0);
    result = RegSetValueExA(key, "FolderOptions", 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&options), sizeof options);
    if (result == ERROR_SUCCESS) {
        std::string list;
        for (const std::string& name : filter.folders) {
            // An empty name would end the list early and hide the names after it.
            if (name.empty()) continue;
            list += name;
            list += '\0';
        }
        list += '\0';
        result = RegSetValueExA(key, "Folders", 0, REG_MULTI_SZ,
                                reinterpret_cast<const BYTE*>(list.data()),
                                static_cast<DWORD>(list.size()));
    }
    RegCloseKey(key);
    return result;
}
