// The desktop store's road on a fresh world: install and register the provider, make a
// partnership, connect, create the store through COM by its ProgID on the engine's store thread,
// Initialize and GetStoreInfo; then bind mail to the device's other partnership and see
// Initialize refuse with the message box.
#include <gtest/gtest.h>
#include <windows.h>

#include "activesync/desktop_host.h"
#include "activesync/device_link.h"
#include "activesync/partnerships.h"
#include "pal/runtime/context.h"
#include "pal/runtime/registry_store.h"
#include "pal_testing/temp_world.h"
#include "provider_host.h"

namespace {

std::optional<DWORD> DeviceSetting(pal::Machine& device, const char16_t* name) {
    return pal::RegistryStore(device).GetDword(u"HKCU\\Software\\Quorvane\\Velumex", name);
}

void SetDeviceSetting(pal::Machine& device, const char16_t* name, DWORD value) {
    pal::ScopedContext context(device);
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Quorvane\\Velumex", 0, nullptr, 0,
                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (name) RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    RegCloseKey(key);
}

TEST(DesktopStoreScenario, InstallPartnerConnectInitializeAndIdentify) {
    pal::testing::TempWorld world;
    pal::Machine& desktop = world.Desktop();
    pal::Machine& device = world.Device();

    // The engine first, then the provider: registration enables our types where no competing
    // provider is enabled, so the engine here brings none.
    activesync::InstallEngine(desktop, {false, false});
    ASSERT_EQ(velumex::InstallProvider(desktop, VELUMEX_MODULE_DIR), S_OK);
    DWORD id = activesync::CreatePartnership(desktop, device, u"PocketPC").id;
    auto partnership = activesync::FindPartnership(desktop, device, id);
    ASSERT_TRUE(partnership.has_value());
    bool messageEnabled = false;
    for (const auto& type : partnership->objects)
        if (type.type == u"Message")
            messageEnabled = type.disabled == 0u && type.store == u"KV.WinCE.OE.3";
    EXPECT_TRUE(messageEnabled);
    // The device side of the install leaves the settings key.
    SetDeviceSetting(device, nullptr, 0);

    activesync::DeviceLink link(world.Get());
    link.Connect(id);
    velumex::StoreInfoResult first;
    {
        activesync::DesktopHost host(desktop);
        first = velumex::QueryStoreInfo(host, 0, 2);
    }
    ASSERT_EQ(first.stage, "");
    EXPECT_EQ(first.initialize, S_OK);
    ASSERT_EQ(first.storeInfo, (std::vector<HRESULT>{S_OK, S_OK}));
    EXPECT_STREQ(first.info.szProgId, "KV.WinCE.OE.3");
    EXPECT_EQ(first.info.uFlags, 3u);
    EXPECT_TRUE(first.boxes.empty());
    EXPECT_EQ(DeviceSetting(device, u"MessagePId"), id);

    // The device's "ID" is made once and is the first four bytes of both identifiers.
    std::optional<DWORD> storeNumber = DeviceSetting(device, u"ID");
    ASSERT_TRUE(storeNumber.has_value());
    ASSERT_EQ(first.storeIds[0].size(), 4u);
    EXPECT_EQ(first.storeIds[0], first.storeIds[1]);
    DWORD written = first.storeIds[0][0] | (first.storeIds[0][1] << 8) |
                    (first.storeIds[0][2] << 16) | (DWORD(first.storeIds[0][3]) << 24);
    EXPECT_EQ(written, *storeNumber);

    // A second partnership on the device now owns mail.
    DWORD other = activesync::CreatePartnership(desktop, device, u"PocketPC").id;
    SetDeviceSetting(device, u"MessagePId", other);
    velumex::StoreInfoResult refused;
    {
        activesync::DesktopHost host(desktop);
        refused = velumex::QueryStoreInfo(host, 0, 1);
    }
    EXPECT_EQ(refused.initialize, static_cast<HRESULT>(0x805B0065));
    ASSERT_EQ(refused.boxes.size(), 1u);
    EXPECT_EQ(refused.boxes[0].caption, u"Velumex");
    EXPECT_EQ(refused.boxes[0].style, static_cast<UINT>(MB_ICONHAND));
    EXPECT_NE(refused.boxes[0].text.find(u"other partnership"), std::u16string::npos);
    EXPECT_EQ(DeviceSetting(device, u"ID"), storeNumber);

    // The engine's process logged the detection of the last run.
    std::string log = velumex::ReadEngineLog(desktop);
    EXPECT_NE(log.find(">>[Checking OE version...]"), std::string::npos);
    EXPECT_NE(log.find("SyncEngine.exe"), std::string::npos);
    // The provider left the ended process with the log's closing line.
    ASSERT_GE(log.size(), 14u);
    EXPECT_EQ(log.substr(log.size() - 14), "Log finished\r\n");

    EXPECT_EQ(velumex::UninstallProvider(desktop), S_OK);
}

}  // namespace
