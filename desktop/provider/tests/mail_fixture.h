// A store over an installed mail client: messages arranged through the client's own controls,
// the store initialised as the engine does it, and the partnership's options at hand.
#pragma once

#include <string>

#include "emu/mailclient/mail_client.h"
#include "mail_folder.h"
#include "mail_item.h"
#include "pal/runtime/dialog_driver.h"
#include "pal/runtime/machine.h"
#include "partnership_key.h"
#include "store_fixture.h"

namespace trellium_testing {

class MailStoreTest : public StoreTest {
protected:
    MailStoreTest() { emu::mailclient::InstallMailClient(m_world.Desktop()); }

    // Initialize with the engine's callback; without a connected device no partnership check
    // runs.
    void Initialize(UINT flags = 0) { ASSERT_EQ(m_store->Initialize(m_notify, flags), S_OK); }

    CMailFolder* NewFolder() {
        HREPLFLD folder = nullptr;
        IUnknown* handler = nullptr;
        EXPECT_EQ(m_store->GetFolderInfo(const_cast<LPSTR>("Message"), &folder, &handler), S_OK);
        return static_cast<CMailFolder*>(FromHandle(folder));
    }

    std::uint64_t AddMail(const std::string& received, bool unread = true,
                          const std::string& subject = "Hello") {
        emu::mailclient::Message message;
        message.subject = subject;
        message.body = "Body";
        message.from = {"Ann", "ann@example.com"};
        message.recipients = {{emu::mailclient::kTo, "Bob", "bob@example.com"}};
        message.received = received;
        message.unread = unread;
        return emu::mailclient::AddMessage(m_world.Desktop(), message);
    }

    // The desktop clock stopped at a local (= UTC here) calendar time.
    void FreezeAt(WORD year, WORD month, WORD day, WORD hour, WORD minute) {
        SYSTEMTIME time = {year, month, 0, day, hour, minute, 0, 0};
        FILETIME value = {};
        ASSERT_TRUE(SystemTimeToFileTime(&time, &value));
        m_world.Desktop().FreezeClock((static_cast<ULONGLONG>(value.dwHighDateTime) << 32) |
                                      value.dwLowDateTime);
    }

    // The partnership's options subkey path, for reading and arranging values directly.
    static std::string OptionsPath(DWORD id) {
        char name[9];
        std::snprintf(name, sizeof name, "%08x", id);
        return std::string("Software\\Microsoft\\Windows CE Services\\Partners\\") + name + "\\" +
               PARTNERSHIP_OPTIONS_SUBKEY;
    }
    void SetOption(DWORD id, const char* name, DWORD value) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, OptionsPath(id).c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
        RegCloseKey(key);
    }
    std::optional<DWORD> Option(DWORD id, const char* name) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, OptionsPath(id).c_str(), 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            return std::nullopt;
        DWORD value = 0, size = 4, type = 0;
        LONG result =
            RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
        RegCloseKey(key);
        if (result != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
        return value;
    }
    bool OptionsKeyExists(DWORD id) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, OptionsPath(id).c_str(), 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    pal::DialogDrivers& Dialogs() { return m_world.Desktop().Get<pal::DialogDrivers>(); }
};

}  // namespace trellium_testing
