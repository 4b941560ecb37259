#include "activesync/device_link.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>

#include "activesync/partnerships.h"
#include "engine_state.h"
#include "pal/runtime/process.h"
#include "pal/runtime/program.h"
#include "pal/runtime/thread.h"
#include "rapi_server.h"

namespace activesync {

namespace {

struct Pending {
    Bytes request;
    Bytes reply;
    enum class State { Queued, Running, Answered, Dropped } state = State::Queued;
};

// One endpoint's server while the device is connected: it takes requests, runs the handler on
// them where it serves, and answers each caller.
class Server {
public:
    explicit Server(LinkHandler handler) : m_handler(std::move(handler)) {}
    virtual ~Server() = default;

    // Delivers a request and waits for its answer, or for the server to stop.
    CallResult Call(const Bytes& request) {
        auto pending = std::make_shared<Pending>();
        pending->request = request;
        std::unique_lock<std::mutex> guard(m_lock);
        if (m_stopping) return {CallStatus::Dropped, {}};
        Deliver(pending, guard);
        m_changed.wait(guard, [&] {
            return pending->state == Pending::State::Answered ||
                   pending->state == Pending::State::Dropped;
        });
        if (pending->state == Pending::State::Dropped) return {CallStatus::Dropped, {}};
        return {CallStatus::Answered, std::move(pending->reply)};
    }

    // Fails every call not yet answered and waits until no handler runs any more. Idempotent.
    virtual void Stop() = 0;

protected:
    // Hands a request to where it is served; the lock is held on entry and on return.
    virtual void Deliver(const std::shared_ptr<Pending>& pending,
                         std::unique_lock<std::mutex>& guard) = 0;

    // Runs the handler on a request that was queued, the lock not held: the request answered,
    // or dropped when the handler cannot read it.
    void Serve(const std::shared_ptr<Pending>& pending) {
        Bytes reply;
        bool answered = true;
        try {
            reply = m_handler(pending->request);
        } catch (const std::exception&) {
            answered = false;  // a request the server cannot read gets no answer
        }
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (pending->state == Pending::State::Running) {
                pending->reply = std::move(reply);
                pending->state = answered ? Pending::State::Answered : Pending::State::Dropped;
            }
        }
        // Woken after the lock is let go, the caller does not block on it at once.
        m_changed.notify_all();
    }

    LinkHandler m_handler;
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_stopping = false;
};

// An endpoint served on a device thread and in a device process of its own.
class ThreadServer : public Server {
public:
    ThreadServer(pal::Machine& device, const std::u16string& processPath, LinkHandler handler)
        : Server(std::move(handler)) {
        m_process = device.CreateProcess(processPath);
        pal::StartThread(
            device, m_process, [this] { return Run(); },
            [this](DWORD) {
                std::lock_guard<std::mutex> guard(m_lock);
                m_ended = true;
                m_changed.notify_all();
            });
    }

    ~ThreadServer() override { Stop(); }

    // Also waits for the thread to end and ends the process (its libraries detach, then its
    // handles go, as a dropped device forgets them).
    void Stop() override {
        {
            std::unique_lock<std::mutex> guard(m_lock);
            if (m_stopping) {
                m_changed.wait(guard, [this] { return m_ended; });
                return;
            }
            m_stopping = true;
            for (auto& pending : m_queue) pending->state = Pending::State::Dropped;
            if (m_running) m_running->state = Pending::State::Dropped;
            m_queue.clear();
            m_changed.notify_all();
            m_changed.wait(guard, [this] { return m_ended; });
        }
        pal::EndProcess(*m_process, 0);
    }

private:
    void Deliver(const std::shared_ptr<Pending>& pending,
                 std::unique_lock<std::mutex>& guard) override {
        m_queue.push_back(pending);
        // Woken after the lock is let go, the server does not block on it at once.
        guard.unlock();
        m_changed.notify_all();
        guard.lock();
    }

    DWORD Run() {
        std::unique_lock<std::mutex> guard(m_lock);
        for (;;) {
            m_changed.wait(guard, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping) return 0;
            m_running = m_queue.front();
            m_queue.pop_front();
            m_running->state = Pending::State::Running;
            auto running = m_running;
            guard.unlock();
            Serve(running);
            guard.lock();
            m_running.reset();
        }
    }

    std::shared_ptr<pal::Process> m_process;
    std::deque<std::shared_ptr<Pending>> m_queue;
    std::shared_ptr<Pending> m_running;
    bool m_ended = false;
};

// An endpoint served on a device thread that its owner runs: each request is posted to it.
class PostedServer : public Server {
public:
    PostedServer(LinkPoster post, LinkHandler handler)
        : Server(std::move(handler)), m_post(std::move(post)) {}

    ~PostedServer() override { Stop(); }

    void Stop() override {
        std::unique_lock<std::mutex> guard(m_lock);
        m_stopping = true;
        for (auto& pending : m_posted) pending->state = Pending::State::Dropped;
        m_changed.notify_all();
        m_changed.wait(guard, [this] { return m_posted.empty(); });
    }

private:
    void Deliver(const std::shared_ptr<Pending>& pending,
                 std::unique_lock<std::mutex>& guard) override {
        m_posted.insert(pending);
        guard.unlock();
        m_post([this, pending] { Take(pending); });
        guard.lock();
    }

    // On the owner's thread. A request dropped before its turn is not handled.
    void Take(const std::shared_ptr<Pending>& pending) {
        bool run = false;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            run = pending->state == Pending::State::Queued;
            if (run) pending->state = Pending::State::Running;
        }
        if (run) Serve(pending);
        std::lock_guard<std::mutex> guard(m_lock);
        m_posted.erase(pending);
        // Only a stop waits for the posted requests to be taken.
        if (m_stopping) m_changed.notify_all();
    }

    LinkPoster m_post;
    std::set<std::shared_ptr<Pending>> m_posted;  // posted and not yet taken
};

struct Endpoint {
    std::u16string processPath;
    LinkPoster post;  // set: served on its owner's thread, not in a process of its own
    LinkHandler handler;
    std::shared_ptr<Server> server;

    std::shared_ptr<Server> Start(pal::Machine& device) const {
        if (post) return std::make_shared<PostedServer>(post, handler);
        return std::make_shared<ThreadServer>(device, processPath, handler);
    }
};

std::mutex g_linksLock;
std::map<pal::Machine*, std::weak_ptr<DeviceLink::Impl>> g_links;

}  // namespace

class DeviceLink::Impl {
public:
    Impl(DeviceLink& owner, pal::Machine& desktop, pal::Machine& device)
        : m_owner(owner), m_desktop(desktop), m_device(device) {}

    void Connect(DWORD id) {
        if (!FindPartnership(m_desktop, m_device, id))
            throw PartnershipError("the desktop has no such partnership");
        if (!FindPartnership(m_desktop, m_device, id)->partnerBit)
            throw PartnershipError("the device has no such partnership");
        Disconnect(false);
        std::lock_guard<std::mutex> guard(m_lock);
        m_connected = id;
        m_steady.clear();
        ++m_connections;
        for (auto& [name, endpoint] : m_endpoints) endpoint.server = endpoint.Start(m_device);
        auto& state = m_desktop.Get<EngineState>();
        state.SetConnected(id);
        state.SetSelected(id);
    }

    // Ends the device servers; `record`: the world then records no connection.
    void Disconnect(bool record) {
        std::vector<std::shared_ptr<Server>> servers;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (!m_connected) return;
            m_connected = 0;
            for (auto& entry : m_endpoints) servers.push_back(std::move(entry.second.server));
        }
        for (auto& server : servers)
            if (server) server->Stop();
        if (record) m_desktop.Get<EngineState>().SetConnected(0);
    }

    DWORD Connected() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_connected;
    }

    void Serve(const std::string& name, Endpoint served) {
        StopServing(name);
        std::lock_guard<std::mutex> guard(m_lock);
        Endpoint& endpoint = m_endpoints[name] = std::move(served);
        if (m_connected) endpoint.server = endpoint.Start(m_device);
        m_steady.clear();
        ++m_connections;
    }

    void StopServing(const std::string& name) {
        std::shared_ptr<Server> server;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            auto found = m_endpoints.find(name);
            if (found == m_endpoints.end()) return;
            server = std::move(found->second.server);
            m_endpoints.erase(found);
            m_steady.clear();
            ++m_connections;
        }
        if (server) server->Stop();
    }

    CallResult Call(const std::string& name, const Bytes& request) {
        std::shared_ptr<Server> server;
        bool drop = false;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (!m_connected) return {CallStatus::NotConnected, {}};
            drop = m_dropEvery && ++m_calls % m_dropEvery == 0;
        }
        if (drop) {
            Disconnect(true);
            return {CallStatus::Dropped, {}};
        }
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (!m_connected) return {CallStatus::NotConnected, {}};
            auto found = m_endpoints.find(name);
            if (found == m_endpoints.end() || !found->second.server)
                return {CallStatus::NoService, {}};
            server = found->second.server;
        }
        return server->Call(request);
    }

    CallResult CallSteady(const std::string& name, const Bytes& request) {
        std::uint64_t connection = 0;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            auto found = m_steady.find({name, request});
            if (m_connected && found != m_steady.end())
                return {CallStatus::Answered, found->second};
            connection = m_connections;
        }
        CallResult call = Call(name, request);
        std::lock_guard<std::mutex> guard(m_lock);
        // Kept only when no connection or server came or went meanwhile.
        if (call.status == CallStatus::Answered && m_connected && connection == m_connections)
            m_steady[{name, request}] = call.reply;
        return call;
    }

    void DropEvery(unsigned calls) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_dropEvery = calls;
        m_calls = 0;
    }

    DeviceLink& m_owner;
    pal::Machine& m_desktop;
    pal::Machine& m_device;

private:
    mutable std::mutex m_lock;
    DWORD m_connected = 0;
    unsigned m_dropEvery = 0;
    unsigned m_calls = 0;
    std::map<std::string, Endpoint> m_endpoints;
    // Answers to steady requests while connected, by endpoint and request; forgotten whenever
    // a connection or an endpoint's server comes or goes, which `m_connections` counts.
    std::map<std::pair<std::string, Bytes>, Bytes> m_steady;
    std::uint64_t m_connections = 0;
};

DeviceLink::DeviceLink(pal::Machine& desktop, pal::Machine& device)
    : m_impl(std::make_shared<Impl>(*this, desktop, device)) {
    {
        std::lock_guard<std::mutex> guard(g_linksLock);
        auto& slot = g_links[&desktop];
        if (slot.lock()) throw std::logic_error("the desktop already has a device link");
        slot = m_impl;
    }
    m_impl->Serve(kRapiEndpoint, {kRapiServerPath, {}, ServeRapiRequest, {}});
    DWORD recorded = desktop.Get<EngineState>().Connected();
    if (recorded) {
        try {
            m_impl->Connect(recorded);
        } catch (const PartnershipError&) {
            desktop.Get<EngineState>().SetConnected(0);
        }
    }
}

DeviceLink::~DeviceLink() {
    m_impl->Disconnect(false);
    std::lock_guard<std::mutex> guard(g_linksLock);
    g_links.erase(&m_impl->m_desktop);
}

pal::Machine& DeviceLink::Desktop() { return m_impl->m_desktop; }
pal::Machine& DeviceLink::Device() { return m_impl->m_device; }
void DeviceLink::Connect(DWORD id) { m_impl->Connect(id); }
void DeviceLink::Disconnect() { m_impl->Disconnect(true); }
bool DeviceLink::IsConnected() const { return m_impl->Connected() != 0; }
DWORD DeviceLink::ConnectedId() const { return m_impl->Connected(); }

void DeviceLink::Serve(const std::string& endpoint, std::u16string processPath,
                       LinkHandler handler) {
    m_impl->Serve(endpoint, {std::move(processPath), {}, std::move(handler), {}});
}

void DeviceLink::Serve(const std::string& endpoint, LinkPoster post, LinkHandler handler) {
    m_impl->Serve(endpoint, {{}, std::move(post), std::move(handler), {}});
}

void DeviceLink::StopServing(const std::string& endpoint) { m_impl->StopServing(endpoint); }

void DeviceLink::DropEvery(unsigned calls) { m_impl->DropEvery(calls); }

CallResult DeviceLink::Call(const std::string& endpoint, const Bytes& request) {
    return m_impl->Call(endpoint, request);
}

namespace {
std::shared_ptr<DeviceLink::Impl> LinkOf(pal::Machine& desktop) {
    std::lock_guard<std::mutex> guard(g_linksLock);
    auto found = g_links.find(&desktop);
    return found == g_links.end() ? nullptr : found->second.lock();
}
}  // namespace

DeviceLink* DeviceLink::Of(pal::Machine& desktop) {
    auto link = LinkOf(desktop);
    return link ? &link->m_owner : nullptr;
}

CallResult DeviceLink::Call(pal::Machine& desktop, const std::string& endpoint,
                            const Bytes& request) {
    auto link = LinkOf(desktop);
    if (!link) return {CallStatus::NotConnected, {}};
    return link->Call(endpoint, request);
}

CallResult DeviceLink::CallSteady(pal::Machine& desktop, const std::string& endpoint,
                                  const Bytes& request) {
    auto link = LinkOf(desktop);
    if (!link) return {CallStatus::NotConnected, {}};
    return link->CallSteady(endpoint, request);
}

DWORD DeviceLink::ConnectedId(pal::Machine& desktop) {
    auto link = LinkOf(desktop);
    return link ? link->Connected() : 0;
}

}  // namespace activesync
