#include "activesync/sync_server.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "activesync/sync_protocol.h"
#include "pal/runtime/machine.h"

namespace activesync {

namespace {

const char kLogFile[] = "syncwrites.log";
// Outcomes kept when a server starts; a desktop asks only about its latest writes.
const size_t kKeptOutcomes = 4096;
// The packet size the engine recommends to a device handler's GetPacket.
const DWORD kRecommendedPacketSize = 8192;

// Device handlers take the UTF-16 setup record; the shared interface declaration names the
// record of the unit it is compiled in, so the device record is passed through it.
REPLSETUP* AsSetup(REPLSETUPW& setup) { return reinterpret_cast<REPLSETUP*>(&setup); }

REPLSETUPW MakeSetup(const std::u16string& type, BOOL read, DWORD flags, DWORD oid) {
    REPLSETUPW setup{};
    setup.cbStruct = sizeof setup;
    setup.fRead = read;
    setup.dwFlags = flags;
    setup.oid = oid;
    size_t length = std::min<size_t>(type.size(), MAX_OBJTYPE_NAME - 1);
    std::memcpy(setup.szObjType, type.data(), length * sizeof(WCHAR));
    return setup;
}

// Setup for writing, the packets, Reset: the write's result and object (null handler: the type
// is not loaded).
SyncServer::Outcome Write(IReplObjHandler* handler, const std::u16string& type, DWORD oid,
                          DWORD flags, std::vector<Bytes>& packets) {
    SyncServer::Outcome outcome;
    outcome.result = E_UNEXPECTED;
    if (!handler) return outcome;
    REPLSETUPW setup = MakeSetup(type, FALSE, flags, oid);
    outcome.result = handler->Setup(AsSetup(setup));
    if (FAILED(outcome.result)) return outcome;
    for (auto& packet : packets) {
        outcome.result = handler->SetPacket(packet.data(), static_cast<DWORD>(packet.size()));
        if (FAILED(outcome.result)) break;
    }
    HRESULT reset = handler->Reset(AsSetup(setup));
    if (SUCCEEDED(outcome.result) && FAILED(reset)) outcome.result = reset;
    outcome.oidNew = (flags & RSF_NEW_OBJECT) ? setup.oidNew : oid;
    return outcome;
}

void WriteIds(ByteWriter& out, const std::vector<UINT>& ids) {
    out.U32(static_cast<std::uint32_t>(ids.size()));
    for (UINT id : ids) out.U32(id);
}

}  // namespace

SyncServer::SyncServer(pal::Machine& device, DeviceHost& host)
    : m_host(host), m_logPath(device.Dir() / kLogFile) {
    std::vector<std::pair<std::uint64_t, Outcome>> read;
    {
        std::ifstream log(m_logPath);
        std::string line;
        while (std::getline(log, line)) {
            std::istringstream fields(line);
            std::uint64_t token = 0;
            std::int64_t result = 0;
            DWORD oid = 0;
            if (fields >> token >> result >> oid)
                read.push_back({token, {static_cast<HRESULT>(result), oid}});
        }
    }
    if (read.size() > kKeptOutcomes) read.erase(read.begin(), read.end() - kKeptOutcomes);
    m_log.open(m_logPath, std::ios::trunc);
    for (const auto& [token, outcome] : read) {
        m_outcomes[token] = outcome;
        m_log << token << ' ' << outcome.result << ' ' << outcome.oidNew << '\n';
    }
    m_log.flush();
}

void SyncServer::Record(std::uint64_t token, const Outcome& outcome) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_outcomes[token] = outcome;
    // Flushed before the reply goes: a killed engine has handed the line to the system.
    m_log << token << ' ' << outcome.result << ' ' << outcome.oidNew << '\n';
    m_log.flush();
}

Bytes SyncServer::Answer(const Bytes& request) {
    ByteReader in(request);
    auto op = static_cast<sync::Op>(in.U32());
    std::u16string type = in.Text();
    ByteWriter out;
    switch (op) {
        case sync::Op::FindObjects: {
            ObjectList list = m_host.FindObjects(type);
            out.U32(static_cast<std::uint32_t>(list.result));
            WriteIds(out, list.unchanged);
            WriteIds(out, list.changed);
            break;
        }
        case sync::Op::ReadObject: {
            DWORD oid = in.U32();
            HRESULT result = E_UNEXPECTED;
            std::vector<Bytes> packets;
            m_host.RunWithHandler(type, [&](IReplObjHandler* handler) {
                if (!handler) return;
                REPLSETUPW setup = MakeSetup(type, TRUE, 0, oid);
                result = handler->Setup(AsSetup(setup));
                if (FAILED(result)) return;
                do {
                    LPBYTE data = nullptr;
                    DWORD size = 0;
                    result = handler->GetPacket(&data, &size, kRecommendedPacketSize);
                    if (FAILED(result)) break;
                    packets.emplace_back(data, data + (data ? size : 0));
                } while (result != RWRN_LAST_PACKET);
                handler->Reset(AsSetup(setup));
            });
            out.U32(static_cast<std::uint32_t>(result));
            out.U32(static_cast<std::uint32_t>(packets.size()));
            for (const auto& packet : packets) out.Blob(packet);
            break;
        }
        case sync::Op::WriteObject: {
            std::uint64_t token = in.U64();
            DWORD oid = in.U32();
            DWORD flags = in.U32();
            std::uint32_t count = in.U32();
            std::vector<Bytes> packets;
            for (std::uint32_t i = 0; i < count; ++i) packets.push_back(in.Blob());
            Outcome outcome;
            m_host.RunWithHandler(type, [&](IReplObjHandler* handler) {
                outcome = Write(handler, type, oid, flags, packets);
                if (token) Record(token, outcome);
                // What the engine wrote is no change of the device's own to send back. On the
                // device thread, the provider is offered the changes the write reported first,
                // in the order a separate ClearChange request would give.
                if (SUCCEEDED(outcome.result)) m_host.ClearChange(type, outcome.oidNew);
            });
            out.U32(static_cast<std::uint32_t>(outcome.result)).U32(outcome.oidNew);
            break;
        }
        case sync::Op::DeleteObject: {
            DWORD oid = in.U32();
            HRESULT result = E_UNEXPECTED;
            m_host.RunWithHandler(type, [&](IReplObjHandler* handler) {
                if (!handler) return;
                REPLSETUPW setup = MakeSetup(type, FALSE, 0, oid);
                result = handler->Setup(AsSetup(setup));
                if (FAILED(result)) return;
                result = handler->DeleteObj(AsSetup(setup));
                handler->Reset(AsSetup(setup));
            });
            out.U32(static_cast<std::uint32_t>(result));
            break;
        }
        case sync::Op::ClearChange: {
            DWORD oid = in.U32();
            out.U32(m_host.ClearChange(type, oid).admitted ? 1 : 0);
            break;
        }
        case sync::Op::ReportStatus: {
            UINT code = in.U32();
            UINT param = in.U32();
            out.U32(static_cast<std::uint32_t>(m_host.ReportStatus(type, code, param)));
            break;
        }
        case sync::Op::Outcome: {
            std::uint64_t token = in.U64();
            std::lock_guard<std::mutex> guard(m_lock);
            auto found = m_outcomes.find(token);
            if (found == m_outcomes.end()) {
                out.U32(0).U32(0).U32(0);
            } else {
                out.U32(1)
                    .U32(static_cast<std::uint32_t>(found->second.result))
                    .U32(found->second.oidNew);
            }
            break;
        }
        case sync::Op::TakeChanges: {
            PendingChanges pending = m_host.TakeChanges(type);
            WriteIds(out, std::vector<UINT>(pending.changed.begin(), pending.changed.end()));
            WriteIds(out, std::vector<UINT>(pending.deleted.begin(), pending.deleted.end()));
            break;
        }
        default:
            throw MalformedMessage();
    }
    return out.Take();
}

}  // namespace activesync
