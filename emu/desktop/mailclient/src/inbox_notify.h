// Posting the Inbox's changes to the windows registered for them (see
// emu/mailclient/inbox_watch.h).
#pragma once

#include <cstdint>

namespace pal {
class Machine;
}

namespace emu::mailclient {

void NotifyInboxAdded(pal::Machine& machine, std::uint64_t id);
void NotifyInboxDeleted(pal::Machine& machine, std::uint64_t id);
void NotifyInboxMarked(pal::Machine& machine, std::uint64_t id, bool unread);
void NotifyInboxAllMarked(pal::Machine& machine, bool unread);

}  // namespace emu::mailclient
