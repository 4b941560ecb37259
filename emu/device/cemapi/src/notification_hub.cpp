#include "notification_hub.h"

#include <system_error>

#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal/runtime/thread.h"

namespace emu::cemapi {

NotificationHub::NotificationHub(pal::Machine& machine) : m_machine(machine) {}

NotificationHub::~NotificationHub() {
    std::unique_lock<std::mutex> lock(m_lock);
    m_stopping = true;
    m_changed.notify_all();
    m_changed.wait(lock, [&] {
        for (auto& [id, delivery] : m_deliveries)
            if (delivery.running) return false;
        return true;
    });
}

ULONG NotificationHub::Advise(const StoreUid& store, std::optional<std::vector<std::uint8_t>> object,
                              ULONG mask, IMAPIAdviseSink* sink) {
    auto registration = std::make_shared<Registration>();
    registration->store = store;
    registration->object = std::move(object);
    registration->mask = mask;
    registration->sink = sink;
    registration->process = pal::CurrentProcessPtr();
    registration->processId = pal::CurrentProcess().Id();
    sink->AddRef();
    std::lock_guard<std::mutex> guard(m_lock);
    registration->id = m_nextConnection++;
    m_registrations[registration->id] = registration;
    return registration->id;
}

void NotificationHub::Release(std::unique_lock<std::mutex>& lock,
                              const std::shared_ptr<Registration>& registration) {
    m_registrations.erase(registration->id);
    // A call under way finishes first, unless this is that call's own thread.
    auto delivery = m_deliveries.find(registration->processId);
    bool onDeliveryThread = delivery != m_deliveries.end() && delivery->second.running &&
                            delivery->second.threadId == pal::CurrentThreadId();
    if (!onDeliveryThread) m_changed.wait(lock, [&] { return registration->calls == 0; });
    lock.unlock();
    registration->sink->Release();
    lock.lock();
}

bool NotificationHub::Unadvise(ULONG connection) {
    std::unique_lock<std::mutex> lock(m_lock);
    auto it = m_registrations.find(connection);
    if (it == m_registrations.end()) return false;
    auto registration = it->second;
    Release(lock, registration);
    return true;
}

void NotificationHub::UnadviseProcess(DWORD processId) {
    std::unique_lock<std::mutex> lock(m_lock);
    std::vector<std::shared_ptr<Registration>> doomed;
    for (auto& [id, registration] : m_registrations)
        if (registration->processId == processId) doomed.push_back(registration);
    for (auto& registration : doomed) Release(lock, registration);
}

bool NotificationHub::Matches(const Registration& registration, const StoreEvent& event) const {
    if (registration.store != event.store || !(registration.mask & event.eventType)) return false;
    if (!registration.object) return true;
    return *registration.object == event.entryId || *registration.object == event.parentId;
}

void NotificationHub::Post(const std::vector<StoreEvent>& events) {
    std::vector<std::pair<DWORD, std::shared_ptr<pal::Process>>> starts;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_stopping) return;
        for (const auto& event : events) {
            for (auto& [id, registration] : m_registrations) {
                if (!Matches(*registration, event)) continue;
                auto process = registration->process.lock();
                if (!process || process->HasExited()) continue;
                Delivery& delivery = m_deliveries[registration->processId];
                delivery.queue.emplace_back(registration, event);
                if (!delivery.running) {
                    delivery.running = true;
                    starts.emplace_back(registration->processId, process);
                }
            }
        }
    }
    for (auto& [processId, process] : starts) {
        DWORD id = processId;
        try {
            pal::StartThread(m_machine, process, [this, id] {
                Run(id);
                return DWORD{0};
            });
        } catch (const std::system_error&) {
            // No thread can be made: what was queued for the process is dropped.
            std::lock_guard<std::mutex> guard(m_lock);
            m_deliveries[id].queue.clear();
            m_deliveries[id].running = false;
            m_changed.notify_all();
        }
    }
}

void NotificationHub::Run(DWORD processId) {
    std::unique_lock<std::mutex> lock(m_lock);
    Delivery& delivery = m_deliveries[processId];
    delivery.threadId = pal::CurrentThreadId();
    while (!delivery.queue.empty() && !m_stopping) {
        // One call per registration carries the run of its events queued one after another.
        auto registration = delivery.queue.front().first;
        std::vector<StoreEvent> batch;
        while (!delivery.queue.empty() && delivery.queue.front().first == registration) {
            batch.push_back(std::move(delivery.queue.front().second));
            delivery.queue.pop_front();
        }
        if (!m_registrations.count(registration->id)) continue;
        ++registration->calls;
        lock.unlock();
        Deliver(*registration, batch);
        lock.lock();
        --registration->calls;
        m_changed.notify_all();
    }
    delivery.queue.clear();
    delivery.running = false;
    delivery.threadId = 0;
    m_changed.notify_all();
}

void NotificationHub::Deliver(Registration& registration, const std::vector<StoreEvent>& events) {
    std::vector<NOTIFICATION> notifications(events.size());
    auto id = [](const std::vector<std::uint8_t>& bytes) {
        return bytes.empty() ? nullptr
                             : reinterpret_cast<LPENTRYID>(const_cast<std::uint8_t*>(bytes.data()));
    };
    for (size_t i = 0; i < events.size(); ++i) {
        const StoreEvent& event = events[i];
        NOTIFICATION& notification = notifications[i];
        notification = NOTIFICATION{};
        notification.ulEventType = event.eventType;
        OBJECT_NOTIFICATION& object = notification.info.obj;
        object.ulObjType = event.objectType;
        object.cbEntryID = static_cast<ULONG>(event.entryId.size());
        object.lpEntryID = id(event.entryId);
        object.cbParentID = static_cast<ULONG>(event.parentId.size());
        object.lpParentID = id(event.parentId);
        object.cbOldID = static_cast<ULONG>(event.oldId.size());
        object.lpOldID = id(event.oldId);
        object.cbOldParentID = static_cast<ULONG>(event.oldParentId.size());
        object.lpOldParentID = id(event.oldParentId);
    }
    registration.sink->OnNotify(static_cast<ULONG>(notifications.size()), notifications.data());
}

bool NotificationHub::WaitDrained(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, limit, [&] {
        for (auto& [id, delivery] : m_deliveries)
            if (delivery.running || !delivery.queue.empty()) return false;
        return true;
    });
}

NotificationHub& HubOf(pal::Machine& machine) { return machine.Get<NotificationHub>(); }

}  // namespace emu::cemapi
