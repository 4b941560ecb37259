#include <gtest/gtest.h>

#include <cstring>

#include "activesync/data_requests.h"
#include "activesync/desktop_host.h"
#include "activesync/device_link.h"
#include "activesync/partnerships.h"
#include "pal/runtime/context.h"
#include "pal/runtime/process.h"
#include "pal_testing/temp_world.h"

namespace {

using namespace activesync;

class NotifyTest : public pal::testing::DesktopTest {
protected:
    NotifyTest() {
        CreatePartnership(m_world.Desktop(), m_world.Device(), u"PocketPC", 0x51);
        CreatePartnership(m_world.Desktop(), m_world.Device(), u"PocketPC04", 0x52);
        m_link.emplace(m_world.Get());
        m_host.emplace(m_world.Desktop());
        m_notify = m_host->CreateNotify();
    }
    ~NotifyTest() override {
        m_notify->Release();
        m_host.reset();
        m_link.reset();
    }

    // The "DeviceType" of the key that QueryDevice answers for `code`, read on the store thread.
    std::string DeviceTypeOfKey(UINT code, HRESULT& result) {
        std::string deviceType;
        m_host->Run([&] {
            HKEY key = nullptr;
            result = m_notify->QueryDevice(code, reinterpret_cast<LPVOID*>(&key));
            if (FAILED(result)) {
                EXPECT_EQ(key, nullptr);
                return;
            }
            char text[64] = {};
            DWORD size = sizeof text;
            EXPECT_EQ(RegQueryValueExA(key, "DeviceType", nullptr, nullptr,
                                       reinterpret_cast<LPBYTE>(text), &size),
                      ERROR_SUCCESS);
            EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
            deviceType = text;
        });
        return deviceType;
    }

    HRESULT GetRequest(SDREQUESTA& request) {
        HRESULT result = E_UNEXPECTED;
        m_host->Run([&] {
            result = m_notify->QueryDevice(QDC_SYNC_DATA, reinterpret_cast<LPVOID*>(&request));
        });
        return result;
    }

    std::optional<DeviceLink> m_link;
    std::optional<DesktopHost> m_host;
    ReplNotify* m_notify = nullptr;
};

SDREQUESTA AddressRequest(UINT code) {
    SDREQUESTA request = {};
    std::strcpy(request.szObjType, "Address");
    request.uCode = code;
    return request;
}

TEST_F(NotifyTest, StoreThreadRunsInTheHostProcessAndOwnsTheWindow) {
    DWORD threadId = 0;
    std::u16string exePath;
    m_host->Run([&] {
        threadId = GetCurrentThreadId();
        exePath = pal::CurrentProcess().ExePath();
    });
    EXPECT_EQ(threadId, m_host->StoreThreadId());
    EXPECT_EQ(exePath, kHostExePath);
    HWND window = m_notify->GetWindow(0);
    EXPECT_EQ(window, m_host->MainWindow());
    DWORD processId = 0;
    EXPECT_EQ(GetWindowThreadProcessId(window, &processId), m_host->StoreThreadId());
    EXPECT_EQ(processId, m_host->Process()->Id());
    EXPECT_THROW(m_host->Run([] { throw std::runtime_error("store failed"); }), std::runtime_error);
}

TEST_F(NotifyTest, DeviceKeysAreTheSelectedAndTheConnectedPartnerships) {
    HRESULT result = S_OK;
    EXPECT_EQ(DeviceTypeOfKey(QDC_SEL_DEVICE_KEY, result), "PocketPC");
    EXPECT_EQ(result, S_OK);
    DeviceTypeOfKey(QDC_CON_DEVICE_KEY, result);
    EXPECT_EQ(result, HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED));

    m_link->Connect(0x52);
    SelectPartnership(m_world.Desktop(), 0x51);
    EXPECT_EQ(DeviceTypeOfKey(QDC_CON_DEVICE_KEY, result), "PocketPC04");
    EXPECT_EQ(DeviceTypeOfKey(QDC_SEL_DEVICE_KEY, result), "PocketPC");

    SelectPartnership(m_world.Desktop(), 0);
    DeviceTypeOfKey(QDC_SEL_DEVICE_KEY, result);
    EXPECT_EQ(result, E_FAIL);
    EXPECT_EQ(m_notify->QueryDevice(QDC_SEL_DEVICE_KEY, nullptr), E_POINTER);
    LPVOID out = nullptr;
    EXPECT_EQ(m_notify->QueryDevice(1, &out), E_NOTIMPL);
}

TEST_F(NotifyTest, DataRequestsComeBackWithoutDataUntilTheDeviceServesThem) {
    SDREQUESTA request = AddressRequest(5);
    EXPECT_EQ(GetRequest(request), HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED));
    m_link->Connect(0x51);
    request = AddressRequest(5);
    EXPECT_EQ(GetRequest(request), E_NOTIMPL);
    EXPECT_EQ(request.lpData, nullptr);
    EXPECT_EQ(request.cbData, 0u);

    DataRequest seen;
    std::string servedOn;
    ServeDataRequests(*m_link, u"\\Windows\\syncdev.exe", [&](const DataRequest& incoming) {
        seen = incoming;
        servedOn = pal::CurrentMachine().Name();
        return DataReply{S_OK, incoming.set ? Bytes{} : Bytes{7, 0, 0, 0}};
    });
    request = AddressRequest(5);
    ASSERT_EQ(GetRequest(request), S_OK);
    EXPECT_EQ(servedOn, "device");
    EXPECT_EQ(seen.objType, u"Address");
    EXPECT_FALSE(seen.set);
    EXPECT_EQ(seen.code, 5u);
    ASSERT_EQ(request.cbData, 4u);
    ASSERT_NE(request.lpData, nullptr);
    EXPECT_EQ(request.lpData[0], 7);
    m_host->Run([&] { EXPECT_EQ(GlobalFree(request.lpData), nullptr); });

    // A set request carries its data to the device and keeps the caller's buffer.
    BYTE entry[3] = {1, 2, 3};
    request = AddressRequest(1);
    request.fSet = TRUE;
    request.lpData = entry;
    request.cbData = 3;
    EXPECT_EQ(GetRequest(request), S_OK);
    EXPECT_EQ(seen.data, (Bytes{1, 2, 3}));
    EXPECT_EQ(request.lpData, entry);
}

TEST_F(NotifyTest, ItemNotificationsAndStatusTextAreRecorded) {
    auto item = reinterpret_cast<HREPLITEM>(0x1000);
    char progId[] = "KV.WinCE.OE.3";
    char type[] = "Message";
    char status[] = "Removing duplicates";
    EXPECT_EQ(m_notify->OnItemNotify(RNC_DELETED, progId, type, item, 0), S_OK);
    EXPECT_EQ(m_notify->OnItemNotify(RNC_CREATED, progId, type, item, 4), S_OK);
    EXPECT_EQ(m_notify->OnItemNotify(9, progId, type, item, 0), E_INVALIDARG);
    EXPECT_EQ(m_notify->OnItemNotify(RNC_MODIFIED, progId, type, nullptr, 0), E_INVALIDARG);
    EXPECT_EQ(m_notify->SetStatusText(status), S_OK);

    auto recorded = m_notify->TakeNotifications();
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[0].code, static_cast<UINT>(RNC_DELETED));
    EXPECT_EQ(recorded[0].progId, "KV.WinCE.OE.3");
    EXPECT_EQ(recorded[0].objType, "Message");
    EXPECT_EQ(recorded[0].item, item);
    EXPECT_EQ(recorded[1].flags, 4u);
    EXPECT_TRUE(m_notify->Notifications().empty());
    EXPECT_EQ(m_notify->StatusTexts(), std::vector<std::string>{"Removing duplicates"});

    IUnknown* unknown = nullptr;
    ASSERT_EQ(m_notify->QueryInterface(IID_IReplNotify, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(m_notify->References(), 2u);
    unknown->Release();
    EXPECT_EQ(m_notify->QueryInterface(IID_IReplStore, reinterpret_cast<void**>(&unknown)),
              E_NOINTERFACE);
}

}  // namespace
