// What a machine's programs wrote with OutputDebugString, kept in order for tests and the
// command line to read back.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "pal/runtime/components.h"

namespace pal {

class Machine;

class DebugOutput : public Component {
public:
    explicit DebugOutput(Machine& machine);
    // Captures one call's text; echoes it to standard error (as UTF-8, after the machine's name)
    // when the host environment has VELUMEX_DEBUG_OUTPUT set.
    void Write(std::u16string_view text);
    // One entry per call, oldest first.
    std::vector<std::u16string> Records() const;
    // Every call's text run together, as a debugger would show it.
    std::u16string Text() const;
    void Clear();

private:
    Machine& m_machine;
    mutable std::mutex m_lock;
    std::vector<std::u16string> m_records;
};

}  // namespace pal
