#include "device_objects.h"

#include "activesync/sync_session.h"

namespace activesync {

namespace {

std::vector<UINT> ReadIds(ByteReader& in) {
    std::uint32_t count = in.U32();
    std::vector<UINT> ids;
    ids.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) ids.push_back(in.U32());
    return ids;
}

}  // namespace

DeviceObjects::DeviceObjects(DeviceLink& link, const std::string& type)
    : m_link(link), m_type(type.begin(), type.end()) {}

ByteWriter DeviceObjects::Request(sync::Op op) {
    ByteWriter request;
    request.U32(static_cast<std::uint32_t>(op)).Text(m_type);
    return request;
}

Bytes DeviceObjects::Call(ByteWriter& request) {
    CallResult call = m_link.Call(sync::kEndpoint, request.Take());
    switch (call.status) {
        case CallStatus::Answered:
            return std::move(call.reply);
        case CallStatus::NoService:
            throw SyncError("the device's half of the engine is not running");
        case CallStatus::NotConnected:
        case CallStatus::Dropped:
            break;
    }
    throw LinkLost(
        "the device was disconnected during the synchronization; what was done so far is kept, "
        "and the next synchronization carries on when it is connected again");
}

DeviceObjects::List DeviceObjects::Find() {
    auto request = Request(sync::Op::FindObjects);
    Bytes reply = Call(request);
    ByteReader in(reply);
    List list;
    list.result = static_cast<HRESULT>(in.U32());
    list.unchanged = ReadIds(in);
    list.changed = ReadIds(in);
    return list;
}

DeviceObjects::Read DeviceObjects::ReadObject(DWORD oid) {
    auto request = Request(sync::Op::ReadObject);
    request.U32(oid);
    Bytes reply = Call(request);
    ByteReader in(reply);
    Read read;
    read.result = static_cast<HRESULT>(in.U32());
    std::uint32_t count = in.U32();
    for (std::uint32_t i = 0; i < count; ++i) read.packets.push_back(in.Blob());
    return read;
}

DeviceObjects::Write DeviceObjects::WriteObject(std::uint64_t token, DWORD oid, DWORD flags,
                                                const std::vector<Bytes>& packets) {
    auto request = Request(sync::Op::WriteObject);
    request.U64(token).U32(oid).U32(flags).U32(static_cast<std::uint32_t>(packets.size()));
    for (const auto& packet : packets) request.Blob(packet);
    Bytes reply = Call(request);
    ByteReader in(reply);
    Write write;
    write.result = static_cast<HRESULT>(in.U32());
    write.oid = in.U32();
    return write;
}

HRESULT DeviceObjects::DeleteObject(DWORD oid) {
    auto request = Request(sync::Op::DeleteObject);
    request.U32(oid);
    Bytes reply = Call(request);
    ByteReader in(reply);
    return static_cast<HRESULT>(in.U32());
}

bool DeviceObjects::ClearChange(DWORD oid) {
    auto request = Request(sync::Op::ClearChange);
    request.U32(oid);
    Bytes reply = Call(request);
    ByteReader in(reply);
    return in.U32() != 0;
}

BOOL DeviceObjects::ReportStatus(UINT code, UINT param) {
    auto request = Request(sync::Op::ReportStatus);
    request.U32(code).U32(param);
    Bytes reply = Call(request);
    ByteReader in(reply);
    return static_cast<BOOL>(in.U32());
}

std::optional<DeviceObjects::Write> DeviceObjects::Outcome(std::uint64_t token) {
    auto request = Request(sync::Op::Outcome);
    request.U64(token);
    Bytes reply = Call(request);
    ByteReader in(reply);
    bool known = in.U32() != 0;
    Write write;
    write.result = static_cast<HRESULT>(in.U32());
    write.oid = in.U32();
    if (!known) return std::nullopt;
    return write;
}

std::vector<UINT> DeviceObjects::TakeChanges() {
    auto request = Request(sync::Op::TakeChanges);
    Bytes reply = Call(request);
    ByteReader in(reply);
    std::vector<UINT> ids = ReadIds(in);
    std::vector<UINT> deleted = ReadIds(in);
    ids.insert(ids.end(), deleted.begin(), deleted.end());
    return ids;
}

}  // namespace activesync
