// A connected partnership with the mail client installed, a store holding its Simple MAPI
// wrapper, the "Message" folder and its handler, and helpers to read the handler's packets and
// the files it leaves in the device's temporary directory.
#pragma once

#include <gtest/gtest.h>
#include <rapi.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "emu/mailclient/mail_client.h"
#include "mail_folder.h"
#include "mail_handler.h"
#include "mail_item.h"
#include "mailclient_testing/mail_client_test.h"
#include "packet_reader.h"
#include "pal/runtime/paths.h"
#include "simple_mapi.h"
#include "store_fixture.h"

namespace trellium_testing {

using Bytes = std::vector<BYTE>;

// The expected bytes of a packet, entry by entry, written independently of the packet writer.
class ExpectedPacket {
public:
    ExpectedPacket& Entry(ULONG tag, const Bytes& value) {
        Put(tag);
        m_bytes.insert(m_bytes.end(), value.begin(), value.end());
        m_bytes.resize((m_bytes.size() + 3) & ~size_t(3), 0);
        ++m_count;
        return *this;
    }
    ExpectedPacket& Dword(ULONG tag, DWORD value) { return Entry(tag, Le(value)); }
    ExpectedPacket& Time(ULONG tag, FILETIME time) {
        Bytes value = Le(time.dwLowDateTime);
        Bytes high = Le(time.dwHighDateTime);
        value.insert(value.end(), high.begin(), high.end());
        return Entry(tag, value);
    }
    ExpectedPacket& Text(ULONG tag, const std::u16string& text) {
        Bytes value;
        for (char16_t unit : text) value.insert(value.end(), {BYTE(unit), BYTE(unit >> 8)});
        value.insert(value.end(), {0, 0});
        return Entry(tag, value);
    }
    ExpectedPacket& Binary(ULONG tag, const Bytes& bytes) {
        Bytes value = Le(static_cast<DWORD>(bytes.size()));
        value.insert(value.end(), bytes.begin(), bytes.end());
        return Entry(tag, value);
    }
    Bytes Get() const {
        Bytes packet = Le(m_count);
        packet.insert(packet.end(), m_bytes.begin(), m_bytes.end());
        return packet;
    }
    static Bytes Le(DWORD value) {
        return {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
    }

private:
    void Put(ULONG tag) {
        Bytes bytes = Le(tag);
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    }
    Bytes m_bytes;
    DWORD m_count = 0;
};

// A packet's properties in order: each tag with its value bytes (padding included).
struct PacketProperties {
    std::vector<std::pair<ULONG, Bytes>> entries;

    explicit PacketProperties(const Bytes& packet) {
        PacketReader reader;
        reader.Attach(packet.data(), static_cast<DWORD>(packet.size()));
        for (DWORD i = 0; i < reader.Count(); ++i) {
            ULONG tag = 0;
            LPCBYTE value = reader.Next(&tag);
            if (!value) break;
            entries.emplace_back(tag, Bytes(value, packet.data() + reader.Position()));
        }
    }
    std::vector<ULONG> Tags() const {
        std::vector<ULONG> tags;
        for (const auto& entry : entries) tags.push_back(entry.first);
        return tags;
    }
    bool Has(ULONG tag) const {
        for (const auto& entry : entries)
            if (entry.first == tag) return true;
        return false;
    }
    const Bytes& Value(ULONG tag) const {
        for (const auto& entry : entries)
            if (entry.first == tag) return entry.second;
        ADD_FAILURE() << std::hex << "no property 0x" << tag;
        static const Bytes none(8, 0);
        return none;
    }
    DWORD Dword(ULONG tag) const {
        const Bytes& value = Value(tag);
        return value[0] | value[1] << 8 | value[2] << 16 | DWORD(value[3]) << 24;
    }
    std::u16string Text(ULONG tag) const {
        const Bytes& value = Value(tag);
        std::u16string text;
        for (size_t i = 0; i + 1 < value.size() && (value[i] | value[i + 1]); i += 2)
            text += char16_t(value[i] | value[i + 1] << 8);
        return text;
    }
};

class OutgoingTest : public StoreTest {
protected:
    OutgoingTest() {
        emu::mailclient::InstallMailClient(m_world.Desktop());
        m_store->m_mapi = new CSimpleMAPI(mailclient_testing::RegisteredLibraryPath().c_str());
        Connect(Partner());
        IUnknown* handler = nullptr;
        EXPECT_EQ(m_store->GetFolderInfo(const_cast<LPSTR>("Message"), &m_folderHandle, &handler),
                  S_OK);
        m_folder = static_cast<CMailFolder*>(FromHandle(m_folderHandle));
        m_handler = m_store->m_mailHandler;
        m_folder->m_settings.options = MAIL_OPT_SYNC;
    }
    ~OutgoingTest() override {
        if (m_item) m_item->Free();
        m_store->FreeObject(m_folderHandle);
    }

    // A message arriving in the client's Inbox: from Ann to Bob, no body, no attachments.
    static emu::mailclient::Message Mail() {
        emu::mailclient::Message message;
        message.subject = "Quarterly figures";
        message.from = {"Ann Sender", "ann@example.com"};
        message.recipients = {{emu::mailclient::kTo, "Bob", "bob@example.com"}};
        message.received = "2024-03-05T09:07:30";
        return message;
    }
    std::string Add(const emu::mailclient::Message& message) {
        return std::to_string(emu::mailclient::AddMessage(m_world.Desktop(), message));
    }

    // The item the enumeration would hand out for message `id`.
    void Select(const std::string& id, DWORD unread = 0) {
        if (m_item) m_item->Free();
        m_item = new CMailItem();
        m_item->SetMessageId(id.c_str());
        m_item->m_received = kReceived;
        m_item->m_unread = unread;
    }

    // Setup (read) and GetPacket for the selected item; the packet's bytes in `packet`.
    HRESULT Read(Bytes& packet, DWORD recommended = 256) {
        m_setup = {};
        m_setup.cbStruct = sizeof m_setup;
        m_setup.fRead = TRUE;
        m_setup.pNotify = m_notify;
        m_setup.pStore = m_store;
        m_setup.hFolder = m_folderHandle;
        m_setup.hItem = m_item ? ToHandle(m_item) : nullptr;
        EXPECT_EQ(m_handler->Setup(&m_setup), S_OK);
        LPBYTE data = nullptr;
        DWORD size = 0;
        HRESULT result = m_handler->GetPacket(&data, &size, recommended);
        packet = data ? Bytes(data, data + size) : Bytes();
        return result;
    }
    Bytes Packet() {
        Bytes packet;
        EXPECT_EQ(Read(packet), RWRN_LAST_PACKET);
        return packet;
    }

    // The device's temporary directory, and the files in it with their contents.
    std::u16string DeviceTemp() {
        WCHAR temp[MAX_PATH] = {};
        DWORD length = CeGetTempPath(MAX_PATH, temp);
        return std::u16string(temp, length);
    }
    std::map<std::string, Bytes> DeviceFiles() {
        DWORD error = 0;
        auto dir = pal::ResolvePath(m_world.Device(), DeviceTemp(), error);
        std::map<std::string, Bytes> files;
        if (!dir || !std::filesystem::exists(*dir)) return files;
        for (const auto& entry : std::filesystem::directory_iterator(*dir)) {
            std::ifstream in(entry.path(), std::ios::binary);
            files[entry.path().filename().string()] = Bytes(std::istreambuf_iterator<char>(in), {});
        }
        return files;
    }
    // Text as the body file holds it: UTF-16 units and the terminating zero.
    static Bytes Utf16File(const std::u16string& text) {
        Bytes bytes;
        for (char16_t unit : text) bytes.insert(bytes.end(), {BYTE(unit), BYTE(unit >> 8)});
        bytes.insert(bytes.end(), {0, 0});
        return bytes;
    }

    static constexpr FILETIME kReceived = {0x89ABCDEF, 0x01D9F00D};

    HREPLFLD m_folderHandle = nullptr;
    CMailFolder* m_folder = nullptr;
    CMailHandler* m_handler = nullptr;
    CMailItem* m_item = nullptr;
    REPLSETUP m_setup = {};
};

}  // namespace trellium_testing
