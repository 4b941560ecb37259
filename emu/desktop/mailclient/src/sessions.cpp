#include "emu/mailclient/sessions.h"

#include "mail_store.h"
#include "pal/runtime/machine.h"

namespace emu::mailclient {

std::uintptr_t OpenSession(pal::Machine& machine) {
    MailStore& store = machine.Get<MailStore>();
    std::lock_guard<std::recursive_mutex> guard(store.Lock());
    if (store.LogonRefused()) return 0;
    std::uintptr_t session = store.NextSession();
    store.Sessions().insert(session);
    return session;
}

bool CloseSession(pal::Machine& machine, std::uintptr_t session) {
    MailStore& store = machine.Get<MailStore>();
    std::lock_guard<std::recursive_mutex> guard(store.Lock());
    return store.Sessions().erase(session) > 0;
}

bool IsOpenSession(pal::Machine& machine, std::uintptr_t session) {
    MailStore& store = machine.Get<MailStore>();
    std::lock_guard<std::recursive_mutex> guard(store.Lock());
    return store.Sessions().count(session) > 0;
}

}  // namespace emu::mailclient
