// A machine's uptime counter: advances with the machine's clock, stands while it is frozen and
// never steps back when the clock is set back.
#pragma once

#include <mutex>

#include "pal/runtime/components.h"
#include "pal/types.h"

namespace pal {

class Machine;

class Uptime : public Component {
public:
    explicit Uptime(Machine& machine);
    // 100 ns units since the machine first counted in this run.
    ULONGLONG Now();

private:
    Machine& m_machine;
    std::mutex m_lock;
    ULONGLONG m_lastClock;
    ULONGLONG m_elapsed = 0;
};

}  // namespace pal
