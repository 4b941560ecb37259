// The engine's own state on the desktop, kept beside the machine's hives in
// "<desktop>/activesync.state": the connected and the selected partnership.
#pragma once

#include <mutex>

#include "pal/runtime/components.h"
#include "pal/runtime/machine.h"

namespace activesync {

class EngineState : public pal::Component {
public:
    explicit EngineState(pal::Machine& desktop);
    void Flush() override;

    DWORD Connected() const;
    DWORD Selected() const;
    void SetConnected(DWORD id);
    void SetSelected(DWORD id);

private:
    pal::Machine& m_desktop;
    mutable std::mutex m_lock;
    DWORD m_connected = 0;
    DWORD m_selected = 0;
};

}  // namespace activesync
