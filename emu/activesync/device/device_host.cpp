#include "activesync/device_host.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

#include "emu/cedb/change_feed.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal/runtime/program.h"
#include "pal/runtime/thread.h"

namespace activesync {

namespace {

// The data-request export as the device's providers define it (device text is UTF-16).
using SyncDataProc = HRESULT (*)(SDREQUESTW* request);

// One loaded type: its library's exports and the handler InitObjType gave.
struct Provider {
    HMODULE module = nullptr;
    PINITOBJTYPE init = nullptr;
    POBJECTNOTIFY notify = nullptr;
    PGETOBJTYPEINFO info = nullptr;
    PFINDOBJECTS find = nullptr;
    PREPORTSTATUS status = nullptr;
    SyncDataProc data = nullptr;  // optional: a provider may serve no data requests
    IReplObjHandler* handler = nullptr;
};

void SetTypeName(WCHAR (&field)[MAX_OBJTYPE_NAME], const std::u16string& type) {
    std::memset(field, 0, sizeof(field));
    size_t length = std::min<size_t>(type.size(), MAX_OBJTYPE_NAME - 1);
    std::memcpy(field, type.data(), length * sizeof(WCHAR));
}

// The "Store" value of the type's registration, or empty.
std::u16string RegisteredLibrary(const std::u16string& type) {
    std::u16string path = std::u16string(kDeviceObjectsKey) + u"\\" + type;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    WCHAR value[MAX_PATH + 1] = {};
    DWORD size = sizeof(value) - sizeof(WCHAR);
    DWORD kind = 0;
    LONG result =
        RegQueryValueExW(key, u"Store", nullptr, &kind, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (kind != REG_SZ && kind != REG_EXPAND_SZ)) return {};
    return std::u16string(value);
}

}  // namespace

class DeviceHost::Impl {
public:
    Impl(pal::Machine& device, UINT partnerBit) : m_device(device), m_partnerBit(partnerBit) {}

    // --- the device thread's queue ---
    void Post(std::function<void()> job) {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_jobs.push_back(std::move(job));
        }
        m_wake.notify_one();
    }
    void Run(const std::function<void()>& call) {
        if (std::this_thread::get_id() == m_threadId) {
            // Already on the device thread: what was queued before this call goes first, as it
            // would from any other thread.
            RunQueued();
            call();
            return;
        }
        std::promise<void> done;
        auto future = done.get_future();
        Post([&] {
            try {
                call();
                done.set_value();
            } catch (...) {
                done.set_exception(std::current_exception());
            }
        });
        future.get();
    }
    DWORD Loop() {
        m_threadId = std::this_thread::get_id();
        // The device thread is in COM: providers create their platform objects through it.
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock<std::mutex> guard(m_lock);
                m_wake.wait(guard, [this] { return m_stop || !m_jobs.empty(); });
                if (m_jobs.empty()) break;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
        CoUninitialize();
        return 0;
    }
    // On the device thread: runs the jobs queued so far, in order.
    void RunQueued() {
        size_t count = 0;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            count = m_jobs.size();
        }
        for (; count > 0; --count) {
            std::function<void()> job;
            {
                std::lock_guard<std::mutex> guard(m_lock);
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
    }
    void Stop() {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_stop = true;
        }
        m_wake.notify_one();
    }

    // --- on the device thread ---
    void Load(const std::u16string& type) {
        std::u16string path = RegisteredLibrary(type);
        if (path.empty()) return;
        Provider provider;
        // Maps the library into the engine's process; its DllMain runs here.
        provider.module = LoadLibraryW(path.c_str());
        if (!provider.module) return;
        auto find = [&](const char* name) { return GetProcAddress(provider.module, name); };
        provider.init = reinterpret_cast<PINITOBJTYPE>(find("InitObjType"));
        provider.notify = reinterpret_cast<POBJECTNOTIFY>(find("ObjectNotify"));
        provider.info = reinterpret_cast<PGETOBJTYPEINFO>(find("GetObjTypeInfo"));
        provider.find = reinterpret_cast<PFINDOBJECTS>(find("FindObjects"));
        provider.status = reinterpret_cast<PREPORTSTATUS>(find("ReportStatus"));
        provider.data = reinterpret_cast<SyncDataProc>(find("SyncData"));
        std::u16string name = type;
        if (!provider.init || !provider.notify || !provider.info || !provider.find ||
            !provider.status || !provider.init(name.data(), &provider.handler, m_partnerBit)) {
            FreeLibrary(provider.module);
            return;
        }
        m_providers[type] = provider;
    }

    void Unload() {
        for (auto& [type, provider] : m_providers)
            if (provider.handler) provider.handler->Release();
        std::set<HMODULE> told;
        for (auto& [type, provider] : m_providers)
            if (told.insert(provider.module).second) provider.init(nullptr, nullptr, 0);
        for (auto& [type, provider] : m_providers) FreeLibrary(provider.module);
        m_providers.clear();
    }

    NotifyResult Notify(Provider& provider, const std::u16string& type, OBJNOTIFY& notify) {
        notify.cbStruct = CBSTRUCT_OBJNOTIFY;
        SetTypeName(notify.szObjType, type);
        notify.uPartnerBit = m_partnerBit;
        NotifyResult result;
        result.admitted = provider.notify(&notify);
        if (result.admitted && notify.poid) {
            result.changed.assign(notify.poid, notify.poid + notify.cOidChg);
            result.deleted.assign(notify.poid + notify.cOidChg,
                                  notify.poid + notify.cOidChg + notify.cOidDel);
        }
        return result;
    }

    // Offers one record change to every loaded type.
    void Offer(const emu::cedb::RecordChange& change) {
        for (auto& [type, provider] : m_providers) {
            OBJNOTIFY notify{};
            notify.uFlags =
                ONF_RECORD |
                (change.kind == emu::cedb::ChangeKind::Deleted ? ONF_DELETED : ONF_CHANGED);
            notify.oidObject = change.record;
            notify.oidInfo.wObjType = OBJTYPE_RECORD;
            notify.oidInfo.infRecord.oidParent = change.database;
            CEGUID volume = change.volume;
            if (!change.InObjectStore()) {
                notify.lpbVolumeID = reinterpret_cast<LPBYTE>(&volume);
                notify.cbVolumeID = sizeof(CEGUID);
            }
            NotifyResult result = Notify(provider, type, notify);
            if (!result.admitted) continue;
            PendingChanges& pending = m_pending[type];
            for (UINT oid : result.changed) pending.changed.insert(oid);
            for (UINT oid : result.deleted) {
                pending.changed.erase(oid);
                pending.deleted.insert(oid);
            }
        }
    }

    pal::Machine& m_device;
    UINT m_partnerBit;
    std::shared_ptr<pal::Process> m_process;
    std::shared_ptr<pal::Thread> m_thread;
    emu::cedb::SubscriptionId m_subscription = 0;
    bool m_subscribed = false;
    // Touched only on the device thread.
    std::map<std::u16string, Provider> m_providers;
    std::map<std::u16string, PendingChanges> m_pending;

private:
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    std::atomic<std::thread::id> m_threadId;
    bool m_stop = false;
};

DeviceHost::DeviceHost(pal::Machine& device, UINT partnerBit,
                       const std::vector<std::u16string>& types)
    : m_impl(std::make_shared<Impl>(device, partnerBit)) {
    if (partnerBit != 1 && partnerBit != 2)
        throw DeviceHostError("the partner bit is 1 or 2, not " + std::to_string(partnerBit));
    if (device.IsDesktop()) throw DeviceHostError("the device half runs on a device machine");
    m_impl->m_process = device.CreateProcess(kDeviceEnginePath);
    std::shared_ptr<Impl> impl = m_impl;
    m_impl->m_thread = pal::StartThread(device, m_impl->m_process, [impl] { return impl->Loop(); });
    Run([&] {
        for (const auto& type : types) m_impl->Load(type);
    });
    // Changes reach the handler on the thread that made them; it only queues them, so a change
    // the device thread makes itself (a provider's write) cannot wait on that thread.
    std::weak_ptr<Impl> weak = m_impl;
    m_impl->m_subscription = emu::cedb::Subscribe(device, [weak](const emu::cedb::RecordChange& c) {
        if (auto live = weak.lock()) live->Post([live, c] { live->Offer(c); });
    });
    m_impl->m_subscribed = true;
}

DeviceHost::~DeviceHost() {
    if (m_impl->m_subscribed) emu::cedb::Unsubscribe(m_impl->m_device, m_impl->m_subscription);
    Run([this] { m_impl->Unload(); });
    m_impl->Stop();
    // The device thread ends once its queue is empty.
    while (!m_impl->m_thread->HasEnded()) std::this_thread::yield();
    // Whatever a provider left loaded detaches before the process's handles close.
    pal::EndProcess(*m_impl->m_process, 0);
}

std::vector<std::u16string> DeviceHost::Loaded() const {
    std::vector<std::u16string> types;
    const_cast<DeviceHost*>(this)->Run([&] {
        for (const auto& [type, provider] : m_impl->m_providers) types.push_back(type);
    });
    return types;
}

bool DeviceHost::IsLoaded(const std::u16string& type) const {
    for (const auto& loaded : Loaded())
        if (loaded == type) return true;
    return false;
}

IReplObjHandler* DeviceHost::Handler(const std::u16string& type) const {
    IReplObjHandler* handler = nullptr;
    const_cast<DeviceHost*>(this)->RunWithHandler(type, [&](IReplObjHandler* found) {
        handler = found;
    });
    return handler;
}

void DeviceHost::RunWithHandler(const std::u16string& type,
                                const std::function<void(IReplObjHandler*)>& call) {
    Run([&] {
        auto it = m_impl->m_providers.find(type);
        call(it != m_impl->m_providers.end() ? it->second.handler : nullptr);
    });
}

ObjectList DeviceHost::FindObjects(const std::u16string& type) {
    ObjectList list;
    Run([&] {
        auto it = m_impl->m_providers.find(type);
        if (it == m_impl->m_providers.end()) {
            list.result = E_UNEXPECTED;
            return;
        }
        FINDOBJINFO info{};
        SetTypeName(info.szObjType, type);
        list.result = it->second.find(&info);
        if (SUCCEEDED(list.result) && info.poid) {
            list.unchanged.assign(info.poid, info.poid + info.cUnChg);
            list.changed.assign(info.poid + info.cUnChg, info.poid + info.cUnChg + info.cChg);
        }
        // The provider frees the list it handed out.
        info.uFlags = FO_DONE_ONE_VOL;
        it->second.find(&info);
    });
    return list;
}

NotifyResult DeviceHost::ClearChange(const std::u16string& type, UINT oid) {
    NotifyResult result;
    Run([&] {
        auto it = m_impl->m_providers.find(type);
        if (it == m_impl->m_providers.end()) return;
        OBJNOTIFY notify{};
        notify.uFlags = ONF_CLEAR_CHANGE;
        notify.oidObject = oid;
        result = m_impl->Notify(it->second, type, notify);
    });
    return result;
}

BOOL DeviceHost::GetObjTypeInfo(const std::u16string& type, OBJTYPEINFO& info) {
    BOOL result = FALSE;
    Run([&] {
        auto it = m_impl->m_providers.find(type);
        if (it == m_impl->m_providers.end()) return;
        info.cbStruct = CBSTRUCT_OBJTYPEINFO;
        SetTypeName(info.szObjType, type);
        result = it->second.info(&info);
    });
    return result;
}

BOOL DeviceHost::ReportStatus(const std::u16string& type, UINT code, UINT param) {
    BOOL result = TRUE;
    Run([&] {
        std::set<HMODULE> told;
        for (auto& [name, provider] : m_impl->m_providers) {
            if (!told.insert(provider.module).second) continue;
            std::u16string text = type;
            if (!provider.status(type.empty() ? nullptr : text.data(), code, param)) result = FALSE;
        }
    });
    return result;
}

SyncDataResult DeviceHost::SyncData(const std::u16string& type, bool set, UINT code,
                                    const std::vector<BYTE>& data) {
    SyncDataResult answer;
    Run([&] {
        auto it = m_impl->m_providers.find(type);
        if (it == m_impl->m_providers.end() || !it->second.data) return;
        SDREQUESTW request{};
        SetTypeName(request.szObjType, type);
        request.fSet = set ? TRUE : FALSE;
        request.uCode = code;
        // A set request carries the desktop's data; a get request a reply buffer that starts
        // with it.
        std::vector<BYTE> buffer(data);
        if (!set) buffer.resize(std::max<size_t>(data.size(), kSyncDataReplyCapacity));
        request.lpData = buffer.empty() ? nullptr : buffer.data();
        request.cbData = static_cast<UINT>(data.size());
        answer.called = true;
        answer.result = it->second.data(&request);
        if (set || FAILED(answer.result) || !request.lpData) return;
        size_t size = request.cbData;
        if (request.lpData == buffer.data()) size = std::min(size, buffer.size());
        answer.data.assign(request.lpData, request.lpData + size);
    });
    return answer;
}

PendingChanges DeviceHost::TakeChanges(const std::u16string& type) {
    PendingChanges pending;
    // Queued behind every change reported before this call.
    Run([&] {
        auto it = m_impl->m_pending.find(type);
        if (it == m_impl->m_pending.end()) return;
        pending = std::move(it->second);
        m_impl->m_pending.erase(it);
    });
    return pending;
}

void DeviceHost::Post(std::function<void()> job) { m_impl->Post(std::move(job)); }

void DeviceHost::Run(const std::function<void()>& call) { m_impl->Run(call); }

}  // namespace activesync
