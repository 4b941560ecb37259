// Data requests from the desktop store to the device provider on a fresh world: Trellium and
// Kestrin installed, a partnership connected, the engine's device half serving the link. The
// store's Initialize asks the device for the contacts mode ("Address", code 5), which must reach
// Kestrin's data-request export on the device thread.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "activesync/desktop_host.h"
#include "activesync/device_link.h"
#include "activesync/device_session.h"
#include "activesync/partnerships.h"
#include "activesync/provider_install.h"
#include "emu/cemapi/message_stores.h"
#include "pal/runtime/context.h"
#include "pal_testing/temp_world.h"
#include "provider_host.h"

namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// QueryDevice(QDC_SYNC_DATA) with a get request, as a desktop store sends it on the store thread.
HRESULT AskDevice(activesync::DesktopHost& host, const char* type, UINT code, UINT& replySize) {
    HRESULT result = E_FAIL;
    host.Run([&] {
        IReplNotify* notify = host.CreateNotify();
        SDREQUESTA request = {};
        std::strcpy(request.szObjType, type);
        request.uCode = code;
        result = notify->QueryDevice(QDC_SYNC_DATA, reinterpret_cast<LPVOID*>(&request));
        replySize = request.cbData;
        if (request.lpData) GlobalFree(request.lpData);
        notify->Release();
    });
    return result;
}

class DataRequestScenario : public ::testing::Test {
protected:
    void SetUp() override {
        activesync::InstallEngine(desktop, {false, false});
        ASSERT_EQ(velumex::InstallProvider(desktop, VELUMEX_MODULE_DIR), S_OK);
        m_id = activesync::CreatePartnership(desktop, device, u"PocketPC").id;
    }
    void InstallKestrin() {
        // The Inbox account whose mail the provider serves.
        emu::cemapi::CreateStore(device, u"Kestrin");
        {
            pal::ScopedContext scope(device);
            HKEY account = nullptr;
            ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                                      u"Software\\Microsoft\\Inbox\\Svc\\Kestrin", 0, nullptr, 0,
                                      KEY_ALL_ACCESS, nullptr, &account, nullptr),
                      ERROR_SUCCESS);
            const char16_t name[] = u"Kestrin";
            RegSetValueExW(account, u"FriendlyName", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(name), sizeof(name));
            RegCloseKey(account);
        }
        ASSERT_EQ(activesync::InstallDeviceProvider(
                      device, std::string(VELUMEX_MODULE_DIR) + "/Kestrin.so"),
                  S_OK);
    }

    pal::testing::TempWorld world;
    pal::Machine& desktop = world.Desktop();
    pal::Machine& device = world.Device();
    DWORD m_id = 0;
};

TEST_F(DataRequestScenario, InitializeAsksKestrinForTheContactsMode) {
    InstallKestrin();
    activesync::DeviceLink link(world.Get());
    link.Connect(m_id);
    activesync::DeviceSession session(link);
    ASSERT_TRUE(session.ServesDataRequests());
    ASSERT_TRUE(session.Host().IsLoaded(u"Address"));

    velumex::StoreInfoResult result;
    {
        activesync::DesktopHost host(desktop);
        result = velumex::QueryStoreInfo(host, 0, 1);
    }
    ASSERT_EQ(result.stage, "");
    // A Pocket PC 2003 device has no contacts synchronization of its own: Kestrin answers 2 and
    // Initialize does not refuse.
    EXPECT_EQ(result.initialize, S_OK);
    EXPECT_TRUE(result.boxes.empty());

    auto received = session.DataRequests();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].request.objType, u"Address");
    EXPECT_FALSE(received[0].request.set);
    EXPECT_EQ(received[0].request.code, 5u);
    EXPECT_TRUE(received[0].request.data.empty());
    EXPECT_EQ(received[0].reply.result, S_OK);
    ASSERT_EQ(received[0].reply.data.size(), 4u);
    EXPECT_EQ(received[0].reply.data[0], 2);

    // The store's log closes when the engine's process ends.
    EXPECT_TRUE(EndsWith(velumex::ReadEngineLog(desktop), "Log finished\r\n"));
}

TEST_F(DataRequestScenario, OnlyTypesWithALoadedProviderReachTheDevice) {
    InstallKestrin();
    activesync::DeviceLink link(world.Get());
    link.Connect(m_id);
    activesync::DeviceSession session(link);
    activesync::DesktopHost host(desktop);
    UINT size = 99;
    EXPECT_EQ(AskDevice(host, "Calendar", 5, size), E_NOTIMPL);
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(session.DataRequests().empty());
    // Kestrin's mail store serves no get request of code 1: S_OK, nothing done.
    EXPECT_EQ(AskDevice(host, "Message", 1, size), S_OK);
    auto received = session.DataRequests();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].request.objType, u"Message");
    EXPECT_EQ(received[0].request.code, 1u);
}

TEST_F(DataRequestScenario, WithoutADeviceProviderNothingServesDataRequests) {
    activesync::DeviceLink link(world.Get());
    link.Connect(m_id);
    activesync::DeviceSession session(link);
    EXPECT_FALSE(session.ServesDataRequests());
    EXPECT_TRUE(session.Host().Loaded().empty());
    activesync::DesktopHost host(desktop);
    UINT size = 99;
    EXPECT_EQ(AskDevice(host, "Address", 5, size), E_NOTIMPL);
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(session.DataRequests().empty());

    link.Disconnect();
    EXPECT_THROW(activesync::DeviceSession{link}, activesync::DeviceHostError);
}

}  // namespace
