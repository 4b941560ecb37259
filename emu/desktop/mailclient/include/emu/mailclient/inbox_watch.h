// The windows registered for the mail client's Inbox notifications. Programs register through the
// store namespace the client installs (its library at kStoreLibraryPath, class
// CLSID_StoreNamespace); tests observe the registrations here.
//
// Registrations are per machine and in memory: they end when the window unregisters, when a post
// to it fails because the window is gone, or when the machine ends. Every change of the Inbox
// (AddMessage, DeleteMessage, SetUnread, SetAllUnread) is posted to each registered window; a
// change to another folder is posted to none. An identifier handed over by pointer is kept by
// the client for as long as the registration of the window it was posted to lasts.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

namespace pal {
class Machine;
}

namespace emu::mailclient {

// Where the client installs its store-namespace library, a Windows path of the desktop.
inline constexpr std::u16string_view kStoreLibraryPath =
    u"C:\\Program Files\\Mail Client\\mcstore.dll";

// Adds `window` to the Inbox's registered windows; false when it was registered already.
bool RegisterInboxWindow(pal::Machine& machine, HWND window);
// Removes the registration and releases the identifiers kept for it; false when there was none.
bool UnregisterInboxWindow(pal::Machine& machine, HWND window);
// The registered windows, in registration order.
std::vector<HWND> InboxWindows(pal::Machine& machine);

}  // namespace emu::mailclient
