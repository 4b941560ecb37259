#include "notification_post.h"

namespace emu::cedb {

bool PostDbNotification(HWND window, CENOTIFICATION* notification) {
    return PostMessageW(window, WM_DBNOTIFICATION, 0, reinterpret_cast<LPARAM>(notification)) !=
           FALSE;
}

}  // namespace emu::cedb
