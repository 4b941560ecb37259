// Which process started a process, for the Toolhelp list.
#pragma once

#include <atomic>

#include "pal/runtime/components.h"
#include "pal/types.h"

namespace pal {

class Process;

class ProcessOrigin : public Component {
public:
    explicit ProcessOrigin(Process&) {}
    // The id of the process that called CreateProcessW; 0 for one started by the layer itself.
    std::atomic<DWORD> parentId{0};
};

}  // namespace pal
