// A device world with the account's message store, its "FriendlyName", the journal volume with
// the mail journal (as the notification service leaves it), and a mail store over them.
#pragma once

#include <cemapi.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ce_db.h"
#include "ce_record.h"
#include "emu/cemapi/message_stores.h"
#include "journal.h"
#include "mail_store.h"
#include "pal/runtime/thread.h"
#include "pal_testing/temp_world.h"
#include "property_packet.h"

class MailStoreTest : public pal::testing::DeviceTest {
protected:
    static constexpr char16_t kAccount[] = u"Kestrin Mail";

    MailStoreTest() {
        m_volume.Mount(KESTRIN_VOLUME_PATH, OPEN_ALWAYS);
        CreateDatabase(MAIL_JOURNAL_NAME, JOURNAL_DB_TYPE, nullptr, 0, nullptr, m_volume.Guid());
        m_account = emu::cemapi::CreateStore(m_world.Device(), kAccount);
        SetFriendlyName(u"kestrin mail");
    }
    ~MailStoreTest() override {
        if (m_handler) m_handler->Release();
        m_store.reset();
    }

    static void SetFriendlyName(const std::u16string& name, DWORD type = REG_SZ) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Inbox\\Svc\\Kestrin",
                                  0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, u"FriendlyName", 0, type, reinterpret_cast<const BYTE*>(name.c_str()),
                       static_cast<DWORD>((name.size() + 1) * sizeof(WCHAR)));
        RegCloseKey(key);
    }
    static void SetUserDword(const char16_t* path, const char16_t* name, DWORD value) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof(value));
        RegCloseKey(key);
    }

    // The store and its handler, as the frame creates them for partner `partner`.
    void Open(UINT partner = 1) {
        m_store = std::make_unique<CMailStore>(m_volume);
        ASSERT_TRUE(m_store->InitObjType(&m_handler, partner));
    }

    // A file the desktop placed in the device's temporary directory.
    static void WriteTemp(const std::u16string& name, const std::string& content) {
        std::u16string path = u"\\Temp\\" + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(file);
    }
    // The UTF-16 bytes of a body file.
    static std::string Utf16File(const std::u16string& text) {
        return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    }
    static bool TempExists(const std::u16string& name) {
        return GetFileAttributesW((u"\\Temp\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // Setup for writing, SetPacket, Reset, as the engine stores an object; oid 0 is a new one.
    HRESULT Store(PacketWriter& packet, CEOID oid, CEOID* created = nullptr) {
        REPLSETUP setup{};
        setup.fRead = FALSE;
        setup.dwFlags = oid ? 0 : RSF_NEW_OBJECT;
        setup.oid = oid;
        EXPECT_EQ(m_handler->Setup(&setup), S_OK);
        HRESULT result = m_handler->SetPacket(packet.Data(), packet.Length());
        m_handler->Reset(&setup);
        if (created) *created = setup.oidNew;
        return result;
    }

    // Setup for reading and GetPacket of record `oid`; the packet's bytes (empty on failure).
    HRESULT Read(CEOID oid, std::vector<BYTE>& packet) {
        REPLSETUP setup{};
        setup.fRead = TRUE;
        setup.oid = oid;
        EXPECT_EQ(m_handler->Setup(&setup), S_OK);
        LPBYTE data = nullptr;
        DWORD size = 0;
        HRESULT result = m_handler->GetPacket(&data, &size, 4096);
        packet.assign(data, data + (data ? size : 0));
        m_handler->Reset(&setup);
        return result;
    }

    // A journal record for a message, as the service writes it.
    CEOID Journal(const std::vector<std::uint8_t>& entryId, WORD state = 3) {
        CCeDB db;
        db.Open(MAIL_JOURNAL_NAME, 0, nullptr, 0, 0, m_volume.Guid());
        CEPROPVAL values[2] = {};
        values[0].propid = PROPID_CHANGE_STATE;
        values[0].val.uiVal = state;
        values[1].propid = PROPID_MESSAGE_ENTRY_ID;
        values[1].val.blob.dwCount = static_cast<DWORD>(entryId.size());
        values[1].val.blob.lpb = const_cast<LPBYTE>(entryId.data());
        return CeWriteRecordProps(db.Handle(), 0, 2, values);
    }
    struct JournalRecord {
        WORD state = 0;
        std::vector<BYTE> entryId;
    };
    std::optional<JournalRecord> Record(CEOID oid) {
        CCeDB db;
        db.Open(MAIL_JOURNAL_NAME, 0, nullptr, 0, 0, m_volume.Guid());
        if (CeSeekDatabase(db.Handle(), CEDB_SEEK_CEOID, oid, nullptr) != oid) return std::nullopt;
        CCeRecord record;
        if (FAILED(record.Read(db, nullptr))) return std::nullopt;
        JournalRecord found;
        if (auto* state = record.Find(PROPID_CHANGE_STATE)) found.state = state->val.uiVal;
        if (auto* id = record.Find(PROPID_MESSAGE_ENTRY_ID))
            found.entryId.assign(id->val.blob.lpb, id->val.blob.lpb + id->val.blob.dwCount);
        return found;
    }

    std::vector<emu::cemapi::MessageInfo> Messages(emu::cemapi::FolderKind folder) {
        return emu::cemapi::ListMessages(m_world.Device(), m_account, folder);
    }
    emu::cemapi::MessageInfo Message(std::int64_t id) {
        auto message = emu::cemapi::ReadMessage(m_world.Device(), m_account, id);
        EXPECT_TRUE(message.has_value());
        return message.value_or(emu::cemapi::MessageInfo{});
    }

    // Whether another thread of the device can take `name` right now.
    bool OthersCanTake(LPCWSTR name) {
        std::atomic<DWORD> result{WAIT_FAILED};
        auto thread = pal::StartThread(m_world.Device(), nullptr, [&] {
            HANDLE lock = CreateMutexW(nullptr, FALSE, name);
            result = WaitForSingleObject(lock, 0);
            if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ReleaseMutex(lock);
            CloseHandle(lock);
            return DWORD{0};
        });
        while (!thread->HasEnded()) Sleep(1);
        return result == WAIT_OBJECT_0;
    }

    CCeDBVolume m_volume;
    std::uint32_t m_account = 0;
    std::unique_ptr<CMailStore> m_store;
    IReplObjHandler* m_handler = nullptr;
};

// The string property `tag` of a packet, or nullopt.
inline std::optional<std::u16string> PacketString(const std::vector<BYTE>& packet, ULONG tag) {
    PacketReader reader;
    reader.Attach(packet.data(), static_cast<DWORD>(packet.size()));
    for (DWORD i = 0; i < reader.Count(); ++i) {
        ULONG found = 0;
        LPCBYTE value = reader.Next(&found);
        if (!value) break;
        if (found != tag) continue;
        std::u16string text;
        for (; LoadLe16(value); value += 2) text += static_cast<char16_t>(LoadLe16(value));
        return text;
    }
    return std::nullopt;
}

// The value bytes of property `tag` (binary: after the count; fixed: the value), or nullopt.
inline std::optional<std::vector<BYTE>> PacketBytes(const std::vector<BYTE>& packet, ULONG tag) {
    PacketReader reader;
    reader.Attach(packet.data(), static_cast<DWORD>(packet.size()));
    for (DWORD i = 0; i < reader.Count(); ++i) {
        ULONG found = 0;
        LPCBYTE value = reader.Next(&found);
        if (!value) break;
        if (found != tag) continue;
        if (ShapeOf(tag) == ValueShape::Binary)
            return std::vector<BYTE>(value + 4, value + 4 + LoadLe32(value));
        return std::vector<BYTE>(value, value + FixedValueSize(tag));
    }
    return std::nullopt;
}
