// Data requests from the desktop's engine callback through the link to a device provider's
// data-request export on the device thread, and their answers back on the desktop.
#include "activesync/device_session.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "activesync/desktop_host.h"
#include "activesync/partnerships.h"
#include "pal/runtime/module_install.h"
#include "pal/runtime/registry_store.h"
#include "pal_testing/temp_world.h"

namespace {

class DeviceSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        pal::InstallModule(device, std::string(VELUMEX_MODULE_DIR) + "/activesync_echo_provider.so",
                           u"\\Windows\\Echo.dll");
        pal::RegistryStore(device).SetString(
            std::u16string(u"HKLM\\") + activesync::kDeviceObjectsKey + u"\\Echo", u"Store",
            u"\\Windows\\Echo.dll");
        m_id = activesync::CreatePartnership(desktop, device, u"PocketPC").id;
    }

    // QueryDevice(QDC_SYNC_DATA) on the engine's store thread.
    HRESULT Ask(activesync::DesktopHost& host, SDREQUESTA& request) {
        HRESULT result = E_FAIL;
        host.Run([&] {
            IReplNotify* notify = host.CreateNotify();
            result = notify->QueryDevice(QDC_SYNC_DATA, reinterpret_cast<LPVOID*>(&request));
            notify->Release();
        });
        return result;
    }
    static SDREQUESTA Request(bool set, UINT code) {
        SDREQUESTA request = {};
        std::strcpy(request.szObjType, "Echo");
        request.fSet = set;
        request.uCode = code;
        return request;
    }

    pal::testing::TempWorld world;
    pal::Machine& desktop = world.Desktop();
    pal::Machine& device = world.Device();
    DWORD m_id = 0;
};

TEST_F(DeviceSessionTest, RequestsReachTheExportAndGetRepliesComeBackInAGlobalBlock) {
    activesync::DeviceLink link(world.Get());
    link.Connect(m_id);
    activesync::DeviceSession session(link);
    ASSERT_TRUE(session.ServesDataRequests());
    activesync::DesktopHost host(desktop);

    BYTE sent[] = {'a', 'b', 'c'};
    SDREQUESTA set = Request(true, 3);
    set.lpData = sent;
    set.cbData = sizeof sent;
    EXPECT_EQ(Ask(host, set), S_OK);
    EXPECT_EQ(set.lpData, sent);  // a set request's data stays the caller's
    EXPECT_EQ(set.cbData, 3u);

    SDREQUESTA get = Request(false, 7);
    ASSERT_EQ(Ask(host, get), S_OK);
    ASSERT_NE(get.lpData, nullptr);
    ASSERT_EQ(get.cbData, 4u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(get.lpData), 4), std::string("abc\x07", 4));
    pal::ScopedContext context(desktop, host.Process());
    EXPECT_EQ(GlobalSize(get.lpData), 4u);
    EXPECT_EQ(GlobalFree(get.lpData), nullptr);

    // A failed get request brings no data back, whatever size the provider set.
    SDREQUESTA failed = Request(false, 99);
    EXPECT_EQ(Ask(host, failed), E_FAIL);
    EXPECT_EQ(failed.lpData, nullptr);
    EXPECT_EQ(failed.cbData, 0u);

    auto received = session.DataRequests();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0].request.objType, u"Echo");
    EXPECT_TRUE(received[0].request.set);
    EXPECT_EQ(received[0].request.data, (activesync::Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(received[1].request.code, 7u);
    EXPECT_EQ(received[1].reply.data, (activesync::Bytes{'a', 'b', 'c', 7}));
    EXPECT_EQ(received[2].reply.result, E_FAIL);
    EXPECT_TRUE(received[2].reply.data.empty());
}

TEST_F(DeviceSessionTest, GetRepliesStartWithTheDesktopsDataAndEndWithTheSession) {
    activesync::DeviceLink link(world.Get());
    link.Connect(m_id);
    activesync::DesktopHost host(desktop);
    {
        activesync::DeviceSession session(link);
        SDREQUESTA clear = Request(true, 3);  // no data: the provider keeps nothing
        ASSERT_EQ(Ask(host, clear), S_OK);
        BYTE sent[] = {'x', 'y'};
        SDREQUESTA get = Request(false, 1);
        get.lpData = sent;
        get.cbData = sizeof sent;
        ASSERT_EQ(Ask(host, get), S_OK);
        ASSERT_EQ(get.cbData, 3u);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(get.lpData), 3), std::string("xy\x01", 3));
        pal::ScopedContext context(desktop, host.Process());
        GlobalFree(get.lpData);
    }
    // Without a session the device serves no data requests; without a connection none arrive.
    SDREQUESTA get = Request(false, 1);
    EXPECT_EQ(Ask(host, get), E_NOTIMPL);
    link.Disconnect();
    EXPECT_EQ(Ask(host, get), HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_THROW(activesync::DeviceSession{link}, activesync::DeviceHostError);
}

}  // namespace
