// The mail folder's road on a fresh world: the mail client with an Inbox, the provider installed
// and registered, a partnership, the device connected; the engine creates the store through COM
// on its store thread, takes the "Message" folder and enumerates the Inbox; then the user opens
// the mail options from the engine's window and changes them.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "activesync/desktop_host.h"
#include "activesync/device_link.h"
#include "activesync/partnerships.h"
#include "emu/mailclient/mail_client.h"
#include "pal/runtime/context.h"
#include "pal/runtime/dialog_driver.h"
#include "pal/runtime/registry_store.h"
#include "pal_testing/temp_world.h"
#include "provider_host.h"

namespace {

std::optional<DWORD> DeviceSetting(pal::Machine& device, const char16_t* name) {
    return pal::RegistryStore(device).GetDword(u"HKCU\\Software\\Quorvane\\Velumex", name);
}

std::optional<DWORD> MailOption(pal::Machine& desktop, DWORD id, const char16_t* name) {
    return pal::RegistryStore(desktop).GetDword(
        activesync::PartnershipKeyPath(id) + u"\\KV.WinCE.OE.3", name);
}

emu::mailclient::Message Mail(std::string subject, std::string received, bool unread) {
    emu::mailclient::Message message;
    message.subject = std::move(subject);
    message.body = "Body";
    message.from = {"Ann", "ann@example.com"};
    message.recipients = {{emu::mailclient::kTo, "Bob", "bob@example.com"}};
    message.received = std::move(received);
    message.unread = unread;
    return message;
}

// What the engine keeps of an item: its handle bytes.
struct Handle {
    std::vector<BYTE> bytes;
    std::string Id() const { return reinterpret_cast<const char*>(bytes.data() + 14); }
    DWORD Unread() const {
        return bytes[78] | (bytes[79] << 8) | (bytes[80] << 16) | (DWORD(bytes[81]) << 24);
    }
};

// As the engine creates a store: ProgID, its class id, then the in-process server.
IReplStore* CreateStore() {
    char text[64] = {};
    DWORD size = sizeof text - 1;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "KV.WinCE.OE.3\\CLSID", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return nullptr;
    LONG found =
        RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<LPBYTE>(text), &size);
    RegCloseKey(key);
    if (found != ERROR_SUCCESS) return nullptr;
    WCHAR wide[64] = {};
    CLSID clsid = {};
    if (!MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 64) ||
        FAILED(CLSIDFromString(wide, &clsid)))
        return nullptr;
    IReplStore* store = nullptr;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IReplStore,
                     reinterpret_cast<void**>(&store));
    return store;
}

TEST(MailFolderScenario, EnumerateTheInboxAndChangeTheOptions) {
    pal::testing::TempWorld world;
    pal::Machine& desktop = world.Desktop();
    pal::Machine& device = world.Device();

    emu::mailclient::InstallMailClient(desktop);
    std::uint64_t fresh = emu::mailclient::AddMessage(desktop, Mail("fresh", "", true));
    emu::mailclient::AddMessage(desktop, Mail("ancient", "2001-01-01T08:00:00", true));
    std::uint64_t read = emu::mailclient::AddMessage(desktop, Mail("read", "", false));

    activesync::InstallEngine(desktop, {false, false});
    ASSERT_EQ(velumex::InstallProvider(desktop, VELUMEX_MODULE_DIR), S_OK);
    DWORD id = activesync::CreatePartnership(desktop, device, u"PocketPC").id;
    {
        pal::ScopedContext context(device);
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Quorvane\\Velumex", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegCloseKey(key);
    }
    activesync::DeviceLink link(world.Get());
    link.Connect(id);

    std::vector<Handle> handles;
    HRESULT dialogResult = E_UNEXPECTED;
    BOOL changedAfterDialog = FALSE;
    std::optional<DWORD> settingAtStart;
    {
        activesync::DesktopHost host(desktop);
        host.Run([&] {
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            IReplStore* store = CreateStore();
            ASSERT_NE(store, nullptr);
            IReplNotify* notify = host.CreateNotify();
            ASSERT_EQ(store->Initialize(notify, 0), S_OK);

            HREPLFLD folder = nullptr;
            IUnknown* handler = nullptr;
            ASSERT_EQ(store->GetFolderInfo(const_cast<LPSTR>("Message"), &folder, &handler), S_OK);
            settingAtStart = DeviceSetting(device, u"NoKeepSentOver");
            HREPLITEM item = nullptr;
            BOOL exists = FALSE;
            HRESULT result = store->FindFirstItem(folder, &item, &exists);
            while (result == S_OK && exists) {
                Handle handle;
                handle.bytes.resize(store->ObjectToBytes(item, nullptr));
                store->ObjectToBytes(item, handle.bytes.data());
                EXPECT_EQ(store->IsValidObject(folder, item, 0), S_OK);
                EXPECT_TRUE(store->IsItemReplicated(folder, item));
                EXPECT_FALSE(store->IsItemChanged(folder, item, nullptr));
                handles.push_back(handle);
                store->FreeObject(item);
                result = store->FindNextItem(folder, &item, &exists);
            }
            EXPECT_EQ(result, S_OK);
            EXPECT_EQ(store->FindItemClose(folder), S_OK);

            BOOL changed = FALSE;
            store->IsFolderChanged(folder, &changed);
            desktop.Get<pal::DialogDrivers>().SetDriver([](pal::DialogSession& dialog) {
                dialog.Click(1011);
                dialog.Type(1121, u"30");
                dialog.Ok();
            });
            dialogResult = store->ActivateDialog(0, host.MainWindow(), folder, nullptr);
            store->IsFolderChanged(folder, &changedAfterDialog);

            store->FreeObject(folder);
            store->ReportStatus(nullptr, nullptr, RSC_RELEASE, 0);
            store->Release();
            notify->Release();
            CoUninitialize();
        });
    }

    // The folder told the device the default at its creation: no sent copies kept.
    EXPECT_EQ(settingAtStart, 1u);
    // The Inbox in the client's order, without the message older than four days.
    ASSERT_EQ(handles.size(), 2u);
    EXPECT_EQ(handles[0].bytes.size(), 82u);
    EXPECT_EQ(handles[0].Id(), std::to_string(fresh));
    EXPECT_EQ(handles[0].Unread(), 1u);
    EXPECT_EQ(handles[1].Id(), std::to_string(read));
    EXPECT_EQ(handles[1].Unread(), 0u);

    EXPECT_EQ(dialogResult, S_OK);
    EXPECT_TRUE(changedAfterDialog);
    EXPECT_EQ(MailOption(desktop, id, u"Options"), 0x17u);
    EXPECT_EQ(MailOption(desktop, id, u"Days"), 30u);
    EXPECT_EQ(MailOption(desktop, id, u"MaxLines"), 50u);
    EXPECT_EQ(DeviceSetting(device, u"NoKeepSentOver"), 0u);

    EXPECT_EQ(velumex::UninstallProvider(desktop), S_OK);
}

}  // namespace
