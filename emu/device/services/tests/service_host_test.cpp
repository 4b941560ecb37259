// The device's service host: boot order, Keep, device names, start and stop, and resuming the
// services that ran when the world was closed.
#include "emu/services/service_host.h"

#include <gtest/gtest.h>
#include <service.h>

#include "pal/runtime/module_install.h"
#include "pal_testing/temp_world.h"

namespace {

class ServiceHostTest : public pal::testing::DeviceTest {
protected:
    void SetUp() override {
        pal::InstallModule(m_world.Device(),
                           std::string(VELUMEX_MODULE_DIR) + "/services_fixture.so",
                           u"\\Windows\\Fixture.dll");
    }
    void TearDown() override { emu::services::ShutDown(m_world.Device()); }

    void Register(const char16_t* key, const char16_t* prefix, DWORD order, DWORD keep = 1,
                  DWORD index = 0) {
        HKEY hkey = nullptr;
        std::u16string path = std::u16string(u"Services\\") + key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &hkey, nullptr),
                  ERROR_SUCCESS);
        SetString(hkey, u"Dll", u"Fixture.dll");
        SetString(hkey, u"Prefix", prefix);
        SetNumber(hkey, u"Order", order);
        SetNumber(hkey, u"Keep", keep);
        SetNumber(hkey, u"Index", index);
        RegCloseKey(hkey);
    }
    static void SetString(HKEY key, const char16_t* name, std::u16string value) {
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * 2));
    }
    static void SetNumber(HKEY key, const char16_t* name, DWORD value) {
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    }
    std::u16string Calls() {
        HKEY key = nullptr;
        WCHAR text[512] = {};
        DWORD size = sizeof(text) - 2;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"FixtureLog", 0, KEY_READ, &key) == ERROR_SUCCESS) {
            RegQueryValueExW(key, u"Calls", nullptr, nullptr, reinterpret_cast<LPBYTE>(text),
                             &size);
            RegCloseKey(key);
        }
        return text;
    }
};

TEST_F(ServiceHostTest, BootStartsServicesByOrderAndShutDownStopsThemLastFirst) {
    Register(u"Beta", u"FXB", 1);
    Register(u"Alpha", u"FXA", 7);
    auto results = emu::services::Boot(m_world.Device());
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].key, u"Beta");
    EXPECT_EQ(results[1].error, 0u);
    EXPECT_EQ(Calls(), u"B+A+");
    // The shell is ready once the boot is done.
    HANDLE ready = OpenEventW(EVENT_ALL_ACCESS, FALSE, emu::services::kShellReadyEvent);
    ASSERT_NE(ready, nullptr);
    EXPECT_EQ(WaitForSingleObject(ready, 0), WAIT_OBJECT_0);
    CloseHandle(ready);
    emu::services::ShutDown(m_world.Device());
    EXPECT_EQ(Calls(), u"B+A+A-B-");
}

TEST_F(ServiceHostTest, DeviceNamesFindRunningServicesAndDeregisterStopsThem) {
    Register(u"Alpha", u"FXA", 0, 1, 3);
    HANDLE service = ActivateService(u"Alpha", 0);
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(ActivateService(u"Alpha", 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));

    WCHAR dll[32];
    DWORD size = 4;
    WCHAR name[] = u"fxa3:";
    EXPECT_EQ(GetServiceHandle(name, dll, &size), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, sizeof(u"Fixture.dll"));
    size = sizeof(dll);
    EXPECT_EQ(GetServiceHandle(name, dll, &size), service);
    EXPECT_EQ(std::u16string(dll), u"Fixture.dll");
    WCHAR other[] = u"FXA0:";
    EXPECT_EQ(GetServiceHandle(other, nullptr, nullptr), nullptr);

    EXPECT_TRUE(DeregisterService(service));
    EXPECT_FALSE(DeregisterService(service));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetServiceHandle(name, nullptr, nullptr), nullptr);
    EXPECT_EQ(Calls(), u"A+A-");
}

TEST_F(ServiceHostTest, ServicesThatDoNotStayAreNotListed) {
    Register(u"Alpha", u"FXA", 0, /*keep=*/0);
    Register(u"Beta", u"FXB", 1);
    HKEY log = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"FixtureLog", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &log,
                    nullptr);
    SetNumber(log, u"RefuseB", 1);
    RegCloseKey(log);
    EXPECT_EQ(ActivateService(u"Alpha", 0), nullptr);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(ActivateService(u"Beta", 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPEN_FAILED));
    EXPECT_EQ(ActivateService(u"Gamma", 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    for (const auto& service : emu::services::RegisteredServices(m_world.Device()))
        EXPECT_FALSE(service.running);
    // Alpha ran its Init and was unloaded without Deinit.
    EXPECT_EQ(Calls(), u"A+");
}

TEST_F(ServiceHostTest, ResumeStartsWhatRanWhenTheWorldClosed) {
    Register(u"Alpha", u"FXA", 0);
    Register(u"Beta", u"FXB", 1);
    emu::services::Boot(m_world.Device());
    EXPECT_EQ(emu::services::Stop(m_world.Device(), u"Beta"), 0u);
    EXPECT_EQ(emu::services::Stop(m_world.Device(), u"Beta"),
              static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    emu::services::ShutDown(m_world.Device());
    Reopen();
    auto resumed = emu::services::Resume(m_world.Device());
    ASSERT_EQ(resumed.size(), 1u);
    EXPECT_EQ(resumed[0].key, u"Alpha");
    auto services = emu::services::RegisteredServices(m_world.Device());
    ASSERT_EQ(services.size(), 2u);
    EXPECT_TRUE(services[0].running);
    EXPECT_FALSE(services[1].running);
    EXPECT_EQ(Calls(), u"A+B+B-A-A+");
}

}  // namespace
