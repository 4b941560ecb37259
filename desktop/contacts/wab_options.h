// The partnership's contacts options: which address-book folders are synchronized, kept in the
// registry under the partnership key's options subkey.
#pragma once

#include <windows.h>

#include <set>
#include <string>

struct ContactFolderFilter {
    // Every contact is synchronized, whatever folder it is in.
    BYTE allFolders = 1;
    // Contacts that belong to no address-book folder are synchronized.
    BYTE unfiled = 1;
    // Display names (ANSI) of the folders whose contacts are synchronized while allFolders is 0;
    // ascending byte-wise, without duplicates.
    std::set<std::string> folders;

    bool operator==(const ContactFolderFilter&) const = default;
};

// Reads the filter from the options subkey of `partnership`: "FolderOptions" (REG_DWORD; bit 0x1
// all folders, bit 0x2 unfiled) and, only while all folders is clear, the folder names of
// "Folders" (REG_MULTI_SZ) up to the first empty one, which replace the names held. A missing
// subkey or value keeps what `filter` holds.
void LoadContactOptions(HKEY partnership, ContactFolderFilter* filter);
// Creates the options subkey when missing and writes "FolderOptions" and "Folders" (the names in
// set order, each zero-terminated, then one more zero: an empty set is a single zero byte).
// ERROR_SUCCESS, or the registry error of the first step that failed.
LONG SaveContactOptions(HKEY partnership, const ContactFolderFilter& filter);
