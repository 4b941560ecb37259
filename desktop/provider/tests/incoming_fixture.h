// Packets from the device into the mail handler's write side, with a device that answers the
// mail data requests as the device's mail store does: a request run selects a message by entry
// identifier, code 4 chooses an attachment, code 5 exports it into the device's temporary
// directory and returns its record with the full path, code 3 loads a named file from there
// into the message, code 2 stores the status and ends the run.
#pragma once

#include <functional>
#include <memory>

#include "activesync/data_requests.h"
#include "attachment_record.h"
#include "incoming_packet.h"
#include "outgoing_fixture.h"
#include "packet_tags.h"
#include "packet_writer.h"

namespace trellium_testing {

struct FakeMailDevice {
    // Attachments of the selected message by number: name and content.
    std::map<DWORD, std::pair<std::u16string, Bytes>> attachments;
    std::vector<activesync::DataRequest> requests;
    // What code 3 loaded: the record and the file's content.
    std::vector<std::pair<AttachmentRecord, Bytes>> delivered;
    std::optional<DWORD> endStatus;
    Bytes selected;
    HRESULT deliverResult = S_OK;
    // Changes the reply to an export before it leaves the device.
    std::function<void(Bytes&)> alterExport;
    // The device's temporary directory (Windows path) and the attachment chosen by code 4.
    std::u16string tempPath;
    AttachmentRecord chosen;
    bool hasChosen = false;

    std::vector<UINT> Codes() const {
        std::vector<UINT> codes;
        for (const auto& request : requests) codes.push_back(request.code);
        return codes;
    }
};

class IncomingTest : public OutgoingTest {
protected:
    IncomingTest() : m_device(std::make_shared<FakeMailDevice>()) {
        m_folder->m_settings.options = MAIL_OPT_SYNC | MAIL_OPT_SEND;
        // As Initialize leaves it: the store holds a reference to the engine's callback.
        m_notify->AddRef();
        m_store->m_notify = m_notify;
        DWORD error = 0;
        m_deviceTemp = *pal::ResolvePath(m_world.Device(), DeviceTemp(), error);
        std::filesystem::create_directories(m_deviceTemp);
        m_device->tempPath = DeviceTemp();
        std::shared_ptr<FakeMailDevice> device = m_device;
        std::filesystem::path temp = m_deviceTemp;
        activesync::ServeDataRequests(
            *m_link, u"\\Windows\\repllog.exe",
            [device, temp](const activesync::DataRequest& request) {
                device->requests.push_back(request);
                return Answer(*device, temp, request);
            });
    }

    // The device's provider registration, which tells the desktop attachments can be fetched.
    void RegisterDeviceProvider() {
        pal::ScopedContext device(m_world.Device());
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                                  u"Windows CE Services\\Synchronization\\Objects\\Message", 0,
                                  nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // Setup (write) for a new device object or for the existing item `m_item`, then SetPacket.
    HRESULT Write(const Bytes& packet, bool isNew) {
        m_write = {};
        m_write.cbStruct = sizeof m_write;
        m_write.fRead = FALSE;
        m_write.dwFlags = isNew ? RSF_NEW_OBJECT : 0;
        m_write.pNotify = m_notify;
        m_write.pStore = m_store;
        m_write.hFolder = m_folderHandle;
        m_write.hItem = !isNew && m_item ? static_cast<HREPLITEM>(ToHandle(m_item)) : nullptr;
        EXPECT_EQ(m_handler->Setup(&m_write), S_OK);
        Bytes copy = packet;
        return m_handler->SetPacket(copy.data(), static_cast<DWORD>(copy.size()));
    }

    // A device packet: the writer's bytes after `fill` added the properties.
    static Bytes DevicePacket(const std::function<void(PacketWriter&)>& fill) {
        PacketWriter writer;
        writer.Begin(64);
        fill(writer);
        return Bytes(writer.Data(), writer.Data() + writer.Length());
    }
    static void AddFolder(PacketWriter& writer, DWORD folder) {
        BYTE code[kFolderCodeSize];
        FolderCode{0, folder}.Store(code);
        PacketBinary value = {kFolderCodeSize, code};
        writer.Add(PR_HEADER_FOLDER_ENTRYID, &value);
    }
    static void AddRecords(PacketWriter& writer, const std::vector<AttachmentRecord>& records) {
        DWORD count = static_cast<DWORD>(records.size());
        writer.Add(PR_ATTACH_NUM, &count);
        Bytes bytes(records.size() * kAttachmentRecordSize);
        for (size_t i = 0; i < records.size(); ++i)
            records[i].Store(bytes.data() + i * kAttachmentRecordSize);
        PacketBinary value = {static_cast<ULONG>(bytes.size()), bytes.data()};
        writer.Add(PR_ATTACH_DATA_BIN, &value);
    }
    static void AddEntryId(PacketWriter& writer, const Bytes& entryId) {
        Bytes copy = entryId;
        PacketBinary value = {static_cast<ULONG>(copy.size()), copy.data()};
        writer.Add(PR_ENTRYID, &value);
    }
    static AttachmentRecord Record(DWORD state, DWORD size, DWORD number, const char16_t* name) {
        AttachmentRecord record;
        record.state = state;
        record.size = size;
        record.number = number;
        record.SetFileName(name);
        return record;
    }

    // A host file in the device's temporary directory.
    void PutDeviceFile(const std::string& name, const Bytes& content) {
        std::ofstream(m_deviceTemp / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(content.data()), content.size());
    }

    std::shared_ptr<FakeMailDevice> m_device;
    std::filesystem::path m_deviceTemp;
    REPLSETUP m_write = {};

private:
    static DWORD Dword(const Bytes& data) {
        return data.size() < 4 ? 0
                               : data[0] | data[1] << 8 | data[2] << 16 | DWORD(data[3]) << 24;
    }
    static std::string Narrow(const std::u16string& name) {
        return std::string(name.begin(), name.end());
    }

    static activesync::DataReply Answer(FakeMailDevice& device, const std::filesystem::path& temp,
                                        const activesync::DataRequest& request) {
        activesync::DataReply reply;
        if (request.objType != u"Message") return {E_NOTIMPL, {}};
        if (request.set && request.code == 1) {
            device.selected = request.data;
            device.hasChosen = false;
        } else if (request.set && request.code == 4 && request.data.size() >= 532) {
            device.chosen = AttachmentRecord::Load(request.data.data());
            device.hasChosen = true;
        } else if (!request.set && request.code == 5) {
            const AttachmentRecord& chosen = device.chosen;
            auto found = device.hasChosen ? device.attachments.find(chosen.number)
                                   : device.attachments.end();
            if (found == device.attachments.end()) return {E_FAIL, {}};
            std::string name = Narrow(chosen.fileName);
            std::ofstream(temp / name, std::ios::binary)
                .write(reinterpret_cast<const char*>(found->second.second.data()),
                       found->second.second.size());
            AttachmentRecord exported = chosen;
            exported.SetFileName((device.tempPath + std::u16string(chosen.fileName)).c_str());
            reply.data.resize(532);
            exported.Store(reply.data.data());
            if (device.alterExport) device.alterExport(reply.data);
        } else if (request.set && request.code == 3 && request.data.size() >= 532) {
            AttachmentRecord record = AttachmentRecord::Load(request.data.data());
            if (record.state != 82) return reply;
            std::filesystem::path file = temp / Narrow(record.fileName);
            std::ifstream in(file, std::ios::binary);
            Bytes content{std::istreambuf_iterator<char>(in), {}};
            in.close();
            std::filesystem::remove(file);
            device.delivered.emplace_back(record, content);
            reply.result = device.deliverResult;
        } else if (request.set && request.code == 2) {
            device.endStatus = Dword(request.data);
            device.hasChosen = false;
        }
        return reply;
    }
};

}  // namespace trellium_testing
