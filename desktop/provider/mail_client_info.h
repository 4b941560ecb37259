// What the store learns about the signed-in user's mail client and address book: the Simple MAPI
// library, the identity, the address-book file, the two programs' icons and the display-name
// setting. Every string is ANSI.
#pragma once

#include <windows.h>

struct MailClientInfo {
    char m_mapiLibrary[MAX_PATH];
    char m_identity[MAX_PATH];
    char m_wabFile[MAX_PATH];
    HICON m_mailIconLarge;
    HICON m_mailIconSmall;
    HICON m_wabIconLarge;
    HICON m_wabIconSmall;
    DWORD m_noChangeDisplayName;
};

// Empties every string and zeroes the icons and the setting.
void ClearMailClientInfo(MailClientInfo* info);
// Destroys the icons held and zeroes them.
void DestroyMailClientIcons(MailClientInfo* info);
// Fills the record from the registry of the desktop. Values that cannot be read stay empty; the
// library path, identity and icons are read only when the mail client registers its library.
void DetectMailClient(MailClientInfo* info);

// Reads a REG_SZ or REG_EXPAND_SZ value (null name: the default value) into a MAX_PATH buffer.
// Any other type, or a value that does not fit, counts as missing: FALSE with an empty buffer.
BOOL ReadRegistryString(HKEY root, LPCSTR subKey, LPCSTR valueName, char (&buffer)[MAX_PATH]);
// The same with environment strings expanded.
BOOL ReadRegistryPath(HKEY root, LPCSTR subKey, LPCSTR valueName, char (&buffer)[MAX_PATH]);
