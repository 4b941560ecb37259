#include "activesync/device_session.h"

#include "activesync/partnerships.h"
#include "activesync/sync_protocol.h"
#include "pal/runtime/registry_store.h"

namespace activesync {

namespace {

// The types with a registered provider library, in the registry's order.
std::vector<std::u16string> RegisteredTypes(pal::Machine& device) {
    pal::RegistryStore registry(device);
    std::u16string objects = std::u16string(u"HKLM\\") + kDeviceObjectsKey;
    if (!registry.KeyExists(objects)) return {};
    return registry.SubkeyNames(objects);
}

UINT PartnerBit(DeviceLink& link) {
    DWORD id = link.ConnectedId();
    if (!id) throw DeviceHostError("the device is not connected");
    auto partnership = FindPartnership(link.Desktop(), link.Device(), id);
    if (!partnership || !partnership->partnerBit)
        throw DeviceHostError("the connected partnership is gone from the device");
    return partnership->partnerBit;
}

}  // namespace

DeviceSession::DeviceSession(DeviceLink& link) : m_link(link) {
    UINT bit = PartnerBit(link);
    m_host = std::make_unique<DeviceHost>(link.Device(), bit, RegisteredTypes(link.Device()));
    m_sync = std::make_unique<SyncServer>(link.Device(), *m_host);
    // Served on the device thread itself, where every request's provider calls run anyway.
    link.Serve(
        sync::kEndpoint, [this](std::function<void()> job) { m_host->Post(std::move(job)); },
        [this](const Bytes& request) { return m_sync->Answer(request); });
    if (m_host->Loaded().empty()) return;
    ServeDataRequests(link, kDataRequestServerPath,
                      [this](const DataRequest& request) { return Answer(request); });
    m_serving = true;
}

DeviceSession::~DeviceSession() {
    m_link.StopServing(sync::kEndpoint);
    if (m_serving) m_link.StopServing(kDataRequestEndpoint);
    m_host.reset();
}

DataReply DeviceSession::Answer(const DataRequest& request) {
    SyncDataResult answer =
        m_host->SyncData(request.objType, request.set, request.code, request.data);
    DataReply reply{answer.result, std::move(answer.data)};
    if (answer.called) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_received.push_back({request, reply});
    }
    return reply;
}

std::vector<ReceivedDataRequest> DeviceSession::DataRequests() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_received;
}

}  // namespace activesync
