// A device's advise registrations and the delivery of store notifications. Each process that
// registered sinks gets its notifications on a delivery thread of its own in that process, in the
// order the changes were made; the thread runs while there is something to deliver. Tests and the
// engine wait until everything posted has been delivered (WaitDrained).
#pragma once

#include <cemapi.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "pal/runtime/components.h"
#include "store_file.h"

namespace pal {
class Machine;
class Process;
}  // namespace pal

namespace emu::cemapi {

struct StoreEvent {
    StoreUid store{};
    ULONG eventType = 0;  // one fnev* bit
    ULONG objectType = MAPI_MESSAGE;
    std::vector<std::uint8_t> entryId;
    std::vector<std::uint8_t> parentId;
    std::vector<std::uint8_t> oldId;
    std::vector<std::uint8_t> oldParentId;
};

class NotificationHub : public pal::Component {
public:
    explicit NotificationHub(pal::Machine& machine);
    ~NotificationHub() override;

    // Registers `sink` (one reference held) for the calling process; answers the connection.
    ULONG Advise(const StoreUid& store, std::optional<std::vector<std::uint8_t>> object, ULONG mask,
                 IMAPIAdviseSink* sink);
    // Ends a registration once no call to its sink is under way (unless called from within that
    // call); false for an unknown connection.
    bool Unadvise(ULONG connection);
    // Ends every registration of a process.
    void UnadviseProcess(DWORD processId);
    // Queues events for the matching registrations.
    void Post(const std::vector<StoreEvent>& events);
    bool WaitDrained(std::chrono::milliseconds limit);

private:
    struct Registration {
        ULONG id = 0;
        StoreUid store{};
        std::optional<std::vector<std::uint8_t>> object;
        ULONG mask = 0;
        IMAPIAdviseSink* sink = nullptr;
        std::weak_ptr<pal::Process> process;
        DWORD processId = 0;
        int calls = 0;
    };
    struct Delivery {
        std::deque<std::pair<std::shared_ptr<Registration>, StoreEvent>> queue;
        bool running = false;
        DWORD threadId = 0;
    };

    void Run(DWORD processId);
    void Deliver(Registration& registration, const std::vector<StoreEvent>& events);
    bool Matches(const Registration& registration, const StoreEvent& event) const;
    void Release(std::unique_lock<std::mutex>& lock, const std::shared_ptr<Registration>& registration);

    pal::Machine& m_machine;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::map<ULONG, std::shared_ptr<Registration>> m_registrations;
    ULONG m_nextConnection = 1;
    std::map<DWORD, Delivery> m_deliveries;
    bool m_stopping = false;
};

NotificationHub& HubOf(pal::Machine& machine);

}  // namespace emu::cemapi
