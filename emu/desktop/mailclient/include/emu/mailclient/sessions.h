// Simple MAPI sessions of a machine's mail client, kept in memory for the life of the machine.
#pragma once

#include <cstdint>

namespace pal {
class Machine;
}

namespace emu::mailclient {

// A new session handle (never 0), or 0 when logons are refused.
std::uintptr_t OpenSession(pal::Machine& machine);
// False when the handle is no open session.
bool CloseSession(pal::Machine& machine, std::uintptr_t session);
bool IsOpenSession(pal::Machine& machine, std::uintptr_t session);

}  // namespace emu::mailclient
