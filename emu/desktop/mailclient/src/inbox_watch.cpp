// The Inbox's registered windows, kept per machine, and the posting of its changes to them.
#include "emu/mailclient/inbox_watch.h"

#include <store_namespace.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>

#include "inbox_notify.h"
#include "pal/runtime/components.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"

namespace emu::mailclient {

namespace {

struct Registration {
    HWND window = nullptr;
    // The identifiers posted to the window by pointer; each stays at its address until the
    // registration ends, so the window may read it whenever it handles the message.
    std::vector<std::unique_ptr<STOREMSGID>> kept;
};

class InboxWatch : public pal::Component {
public:
    explicit InboxWatch(pal::Machine&) {}

    std::mutex m_lock;
    std::vector<Registration> m_registrations;
};

// Windows are found in the current machine: makes `machine` current for the scope unless it
// already is (keeping the caller's process then).
class MachineScope {
public:
    explicit MachineScope(pal::Machine& machine) {
        if (pal::TryCurrentMachine() != &machine) m_context.emplace(machine);
    }

private:
    std::optional<pal::ScopedContext> m_context;
};

// Posts `message` to every registered window: with `plain` as wParam, or, when `byPointer` is
// given, with a pointer to a kept copy of that identifier. A window that can no longer be posted
// to is gone; its registration ends.
void Post(pal::Machine& machine, UINT message, WPARAM plain,
          std::optional<std::uint64_t> byPointer) {
    InboxWatch& watch = machine.Get<InboxWatch>();
    std::lock_guard<std::mutex> guard(watch.m_lock);
    if (watch.m_registrations.empty()) return;
    MachineScope scope(machine);
    // The caller's last error is not the client's to change.
    DWORD lastError = GetLastError();
    for (auto it = watch.m_registrations.begin(); it != watch.m_registrations.end();) {
        WPARAM wParam = plain;
        if (byPointer) {
            it->kept.push_back(std::make_unique<STOREMSGID>(static_cast<STOREMSGID>(*byPointer)));
            wParam = reinterpret_cast<WPARAM>(it->kept.back().get());
        }
        // Queues the message for the window's thread; fails only for a window that is gone.
        if (PostMessageW(it->window, message, wParam, 0))
            ++it;
        else
            it = watch.m_registrations.erase(it);
    }
    SetLastError(lastError);
}

}  // namespace

bool RegisterInboxWindow(pal::Machine& machine, HWND window) {
    InboxWatch& watch = machine.Get<InboxWatch>();
    std::lock_guard<std::mutex> guard(watch.m_lock);
    for (const Registration& registration : watch.m_registrations)
        if (registration.window == window) return false;
    watch.m_registrations.push_back({window, {}});
    return true;
}

bool UnregisterInboxWindow(pal::Machine& machine, HWND window) {
    InboxWatch& watch = machine.Get<InboxWatch>();
    std::lock_guard<std::mutex> guard(watch.m_lock);
    auto it = std::find_if(watch.m_registrations.begin(), watch.m_registrations.end(),
                           [window](const Registration& r) { return r.window == window; });
    if (it == watch.m_registrations.end()) return false;
    watch.m_registrations.erase(it);
    return true;
}

std::vector<HWND> InboxWindows(pal::Machine& machine) {
    InboxWatch& watch = machine.Get<InboxWatch>();
    std::lock_guard<std::mutex> guard(watch.m_lock);
    std::vector<HWND> windows;
    for (const Registration& registration : watch.m_registrations)
        windows.push_back(registration.window);
    return windows;
}

void NotifyInboxAdded(pal::Machine& machine, std::uint64_t id) {
    Post(machine, STORE_NOTIFY_NEW_MESSAGE, static_cast<WPARAM>(id), std::nullopt);
}

void NotifyInboxDeleted(pal::Machine& machine, std::uint64_t id) {
    Post(machine, STORE_NOTIFY_DELETED, 0, id);
}

void NotifyInboxMarked(pal::Machine& machine, std::uint64_t id, bool unread) {
    Post(machine, unread ? STORE_NOTIFY_MARKED_UNREAD : STORE_NOTIFY_MARKED_READ, 0, id);
}

void NotifyInboxAllMarked(pal::Machine& machine, bool unread) {
    Post(machine, unread ? STORE_NOTIFY_MARKED_UNREAD : STORE_NOTIFY_MARKED_READ,
         STORE_NOTIFY_ALL_MESSAGES, std::nullopt);
}

}  // namespace emu::mailclient
