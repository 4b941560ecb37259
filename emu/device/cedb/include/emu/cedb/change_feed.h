// The record change feed of a machine's property databases: every record created, changed or
// deleted in the object store or in a mounted volume, through whichever handle, is reported to
// the feed's subscribers.
#pragma once

#include <cedb.h>

#include <functional>

namespace pal {
class Machine;
}

namespace emu::cedb {

enum class ChangeKind { Created, Changed, Deleted };

struct RecordChange {
    ChangeKind kind;
    // The record and the database it belongs to.
    CEOID record;
    CEOID database;
    // The volume's CEGUID; all zero for the object store.
    CEGUID volume;
    bool InObjectStore() const { return CHECK_SYSTEMGUID(&volume); }
};

using ChangeHandler = std::function<void(const RecordChange&)>;
using SubscriptionId = unsigned long;

// Subscribes to the record changes of `machine`. The handler runs on the thread that made the
// change, after the change is stored and with no database lock held, so it may call the
// database functions itself. Changes made by one thread reach the handler in their order.
SubscriptionId Subscribe(pal::Machine& machine, ChangeHandler handler);
// Ends a subscription: changes made after it returns no longer reach the handler (a call already
// under way on another thread may still finish).
void Unsubscribe(pal::Machine& machine, SubscriptionId id);

}  // namespace emu::cedb
