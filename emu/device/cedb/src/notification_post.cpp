#include "notification_post.h"

namespace emu::cedb {

#if CEDB_WINDOW_MESSAGES
bool PostDbNotification(HWND window, CENOTIFICATION* notification) {
    return PostMessageW(window, WM_DBNOTIFICATION, 0, reinterpret_cast<LPARAM>(notification)) !=
           FALSE;
}
#else
// The platform layer has no window messages yet: nothing can be posted.
bool PostDbNotification(HWND, CENOTIFICATION*) { return false; }
#endif

}  // namespace emu::cedb
