// A machine's uptime counter: starts from the host's own time since boot (so that programs which
// seed from the tick count differ from run to run, as on a real machine), advances with the
// machine's clock, stands while it is frozen and never steps back when the clock is set back.
#pragma once

#include <mutex>

#include "pal/runtime/components.h"
#include "pal/types.h"

namespace pal {

class Machine;

class Uptime : public Component {
public:
    explicit Uptime(Machine& machine);
    // 100 ns units since the machine started.
    ULONGLONG Now();

private:
    Machine& m_machine;
    std::mutex m_lock;
    ULONGLONG m_lastClock;
    ULONGLONG m_elapsed;
};

}  // namespace pal
