// A store initialised without a device, over a desktop with the address book installed, with
// helpers to arrange entries and to drive the contacts folder and handler as the engine does.
#pragma once

#include <gtest/gtest.h>
#include <wab.h>

#include <string>
#include <utility>
#include <vector>

#include "emu/wab/address_book.h"
#include "packet_reader.h"
#include "packet_writer.h"
#include "store_fixture.h"
#include "wab_folder.h"
#include "wab_handler.h"
#include "wab_item.h"

namespace trellium_testing {

using emu::wab::Property;

class ContactsTest : public StoreTest {
protected:
    ContactsTest() { emu::wab::InstallAddressBook(m_world.Desktop()); }
    ~ContactsTest() override {
        for (auto& told : m_notify->TakeNotifications()) m_store->FreeObject(told.item);
        if (m_folder) m_folder->Free();
    }

    // Initialises the store and makes the contacts folder as GetFolderInfo does.
    void Start(DWORD noChangeDisplayName = 0) {
        if (noChangeDisplayName) {
            HKEY key = nullptr;
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quorvane\\Velumex", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr);
            RegSetValueExA(key, "NoChangeDisplayName", 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&noChangeDisplayName), 4);
            RegCloseKey(key);
        }
        ASSERT_EQ(m_store->Initialize(m_notify, 0), S_OK);
        m_folder = new CWABFolder(m_store);
        ASSERT_NE(m_folder->m_book, nullptr);
    }

    std::uint32_t Contact(std::vector<Property> props, std::vector<std::uint32_t> folders = {}) {
        return emu::wab::AddEntry(m_world.Desktop(), emu::wab::kContact, std::move(props),
                                  std::move(folders));
    }

    // The item of entry `id` as the enumeration makes it.
    CWABItem* Item(std::uint32_t id) {
        auto* item = new CWABItem();
        std::vector<std::uint8_t> entryId = emu::wab::EntryIdOf(id);
        item->SetEntryId(entryId.data(), static_cast<DWORD>(entryId.size()));
        m_folder->UpdateItem(ToHandle(item), nullptr);
        m_items.emplace_back(item);
        return item;
    }

    // The packet GetPacket makes of `item`, as (tag, text) pairs; times as their low word.
    std::vector<std::pair<ULONG, std::u16string>> Packet(CWABItem* item, HRESULT* result = nullptr) {
        REPLSETUP setup = {};
        setup.fRead = TRUE;
        setup.hFolder = ToHandle(m_folder);
        setup.hItem = ToHandle(item);
        CWABHandler* handler = m_store->m_contactsHandler;
        handler->Setup(&setup);
        LPBYTE data = nullptr;
        DWORD size = 0;
        HRESULT got = handler->GetPacket(&data, &size, 1024);
        if (result) *result = got;
        std::vector<std::pair<ULONG, std::u16string>> entries = Decode(data, size);
        handler->Reset(&setup);
        return entries;
    }

    static std::vector<std::pair<ULONG, std::u16string>> Decode(LPCBYTE data, DWORD size) {
        std::vector<std::pair<ULONG, std::u16string>> entries;
        if (!data) return entries;
        PacketReader reader;
        reader.Attach(data, size);
        for (DWORD i = 0; i < reader.Count(); ++i) {
            ULONG tag = 0;
            LPCBYTE value = reader.Next(&tag);
            if (!value) break;
            std::u16string text;
            if ((tag & 0xFFFF) == 0x001F)
                for (LPCBYTE at = value; at[0] || at[1]; at += 2)
                    text.push_back(static_cast<char16_t>(at[0] | (at[1] << 8)));
            entries.emplace_back(tag, text);
        }
        return entries;
    }

    // A device packet of UTF-16 texts (an empty text is written as the empty string).
    static std::vector<BYTE> Build(const std::vector<std::pair<ULONG, std::u16string>>& entries) {
        PacketWriter writer;
        writer.Begin(256);
        for (const auto& [tag, text] : entries) writer.Add(tag, text.c_str());
        return std::vector<BYTE>(writer.Data(), writer.Data() + writer.Length());
    }

    // SetPacket as the engine applies a device object: Setup (write), SetPacket, Reset.
    HRESULT Apply(std::vector<BYTE> packet, DWORD flags, CWABItem** item) {
        REPLSETUP setup = {};
        setup.fRead = FALSE;
        setup.dwFlags = flags;
        setup.pNotify = m_notify;
        setup.hFolder = ToHandle(m_folder);
        setup.hItem = *item ? ToHandle(*item) : nullptr;
        CWABHandler* handler = m_store->m_contactsHandler;
        handler->Setup(&setup);
        HRESULT result = handler->SetPacket(packet.data(), static_cast<DWORD>(packet.size()));
        handler->Reset(&setup);
        if (!*item && setup.hItem) {
            *item = static_cast<CWABItem*>(FromHandle(setup.hItem));
            m_items.emplace_back(*item);
        }
        return result;
    }

    emu::wab::Entry Stored(std::uint32_t id) { return *emu::wab::FindEntry(m_world.Desktop(), id); }

    static std::u16string Find(const std::vector<std::pair<ULONG, std::u16string>>& packet,
                               ULONG tag, bool* found = nullptr) {
        for (const auto& [t, text] : packet)
            if (t == tag) {
                if (found) *found = true;
                return text;
            }
        if (found) *found = false;
        return std::u16string();
    }
    static bool Has(const std::vector<std::pair<ULONG, std::u16string>>& packet, ULONG tag) {
        bool found = false;
        Find(packet, tag, &found);
        return found;
    }

    CWABFolder* m_folder = nullptr;
    std::vector<std::unique_ptr<CWABItem>> m_items;
};

}  // namespace trellium_testing
