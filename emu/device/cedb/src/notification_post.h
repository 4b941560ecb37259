// Delivery of WM_DBNOTIFICATION to a window through the window message queue.
#pragma once

#include <cedb.h>

namespace emu::cedb {

// Posts WM_DBNOTIFICATION with the notification as lParam; false when it could not be posted
// (the caller then still owns the block).
bool PostDbNotification(HWND window, CENOTIFICATION* notification);

}  // namespace emu::cedb
