// The windows of a machine as the layer's own C++ code and tests see them: listing windows with
// their class, text and owner, the system window classes that every process of a machine can
// create (dialogs and controls register theirs here), the foreground window, and observation of
// the per-thread message queues.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pal/windowing.h"

namespace pal {

class Machine;

struct WindowInfo {
    HWND handle = nullptr;
    std::u16string className;
    std::u16string text;  // the stored text, as DefWindowProc keeps it
    DWORD threadId = 0;
    DWORD processId = 0;
    HWND parent = nullptr;  // child windows
    HWND owner = nullptr;   // owned top-level windows
    LONG style = 0;
    LONG exStyle = 0;
    LONG_PTR id = 0;
};

struct QueueInfo {
    size_t posted = 0;  // posted messages waiting, a pending WM_QUIT included
    size_t sent = 0;    // sent messages waiting for the thread to handle them
    // The thread is blocked in GetMessage (or in SendMessage waiting for its reply).
    bool waiting = false;
};

// Every window of the machine: top-level windows in Z order (top first), each followed by its
// children, depth first in their own order.
std::vector<WindowInfo> ListWindows(Machine& machine);
std::optional<WindowInfo> DescribeWindow(Machine& machine, HWND window);

// Registers a class that every process of the machine finds by name whatever instance it gives
// (built-in controls and dialogs). A process's own class of the same name takes precedence.
// Registering a name again keeps the first registration and returns its atom; 0 without a
// procedure or name.
ATOM RegisterSystemClass(Machine& machine, const WNDCLASSEXW& windowClass);

// Makes a top-level window the machine's foreground window and brings it to the top of the Z
// order; false for an unknown or child window.
bool SetForeground(Machine& machine, HWND window);

// The message queue of a thread on the machine; nothing when the thread has none.
std::optional<QueueInfo> GetQueueInfo(Machine& machine, DWORD threadId);
// Blocks until `condition` holds for the thread's queue (it is evaluated whenever a queue of the
// machine changes) or `timeoutMs` passes; returns whether it held.
bool WaitForQueue(Machine& machine, DWORD threadId,
                  const std::function<bool(const QueueInfo&)>& condition, DWORD timeoutMs);

// Blocks until a top-level window titled `title` exists and its thread has handled every message
// for it and waits in its message loop, or `timeoutMs` passes; returns whether it came to that.
bool WaitForIdleWindow(Machine& machine, std::u16string_view title, DWORD timeoutMs);

// Called by a thread of the current machine as it ends: destroys its windows (sending their
// destruction messages on this thread), answers 0 to senders still waiting on it, and removes its
// queue, so that later PostThreadMessage calls fail.
void ReleaseThreadWindows();

}  // namespace pal
