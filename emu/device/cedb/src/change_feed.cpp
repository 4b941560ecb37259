#include "emu/cedb/change_feed.h"

#include "cedb_state.h"
#include "pal/runtime/machine.h"

namespace emu::cedb {

SubscriptionId Subscribe(pal::Machine& machine, ChangeHandler handler) {
    return machine.Get<CedbState>().Subscribe(std::move(handler));
}

void Unsubscribe(pal::Machine& machine, SubscriptionId id) {
    machine.Get<CedbState>().Unsubscribe(id);
}

}  // namespace emu::cedb
