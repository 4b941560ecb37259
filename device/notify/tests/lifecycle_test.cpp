// The service's registration, start and stop in the service host.
#include "notify_fixture.h"

namespace {

using notify_testing::NotifyTest;

class LifecycleTest : public NotifyTest {
protected:
    static DWORD ReadNumber(const char16_t* path, const char16_t* name) {
        HKEY key = nullptr;
        DWORD value = 0xDEAD;
        DWORD size = sizeof(value);
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return 0xDEAD;
        RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(&value), &size);
        RegCloseKey(key);
        return value;
    }
    static void SetValue(const std::u16string& path, const char16_t* name, DWORD type,
                         const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
    static bool ServiceWindowExists() { return ServiceWindow() != nullptr; }
};

TEST_F(LifecycleTest, RegistrationComesAfterTheLargestOrderAndUnregistrationRemovesTheTree) {
    for (DWORD order = 0; order <= 20; ++order) {
        std::u16string key = u"Services\\S" + std::u16string(1, static_cast<char16_t>(u'A' + order));
        SetValue(key, u"Order", REG_DWORD, &order, 4);
    }
    // A two-byte value counts by its own bytes; an eight-byte one counts as 0.
    BYTE shortOrder[2] = {0x16, 0x00};
    SetValue(u"Services\\Short", u"Order", REG_BINARY, shortOrder, 2);
    ULONGLONG longOrder = 900;
    SetValue(u"Services\\Long", u"Order", REG_BINARY, &longOrder, 8);
    ASSERT_EQ(emu::services::InstallService(m_world.Device(),
                                            std::string(VELUMEX_MODULE_DIR) + "/KTnotif.so",
                                            u"\\Windows\\KTnotif.dll"),
              S_OK);
    EXPECT_EQ(ReadNumber(u"Services\\KTNotif", u"Order"), 0x17u);
    EXPECT_EQ(ReadNumber(u"Services\\KTNotif", u"Keep"), 1u);
    EXPECT_EQ(ReadNumber(u"Services\\KTNotif", u"Index"), 0u);
    auto services = emu::services::RegisteredServices(m_world.Device());
    ASSERT_FALSE(services.empty());
    EXPECT_EQ(services.back().key, u"KTNotif");
    EXPECT_EQ(services.back().dll, u"KTnotif.dll");
    EXPECT_EQ(services.back().DeviceName(), u"KTN0:");

    DWORD one = 1;
    SetValue(u"Services\\KTNotif\\Sub\\Deeper", u"X", REG_DWORD, &one, 4);
    HMODULE module = LoadLibraryW(u"\\Windows\\KTnotif.dll");
    ASSERT_NE(module, nullptr);
    auto unregister =
        reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, "DllUnregisterServer"));
    ASSERT_NE(unregister, nullptr);
    EXPECT_EQ(unregister(), S_OK);
    FreeLibrary(module);
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Services\\KTNotif", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Services\\SA", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(LifecycleTest, StartMakesTheJournalsWindowAndDeviceNameAndStopEndsThem) {
    ASSERT_EQ(StartService(), 0u);
    ASSERT_TRUE(Started());
    WCHAR name[] = u"KTN0:";
    EXPECT_NE(GetServiceHandle(name, nullptr, nullptr), nullptr);
    bool exists = false;
    Journal(u"_notif_KT", &exists);
    EXPECT_TRUE(exists);

    // The same DLL registered once more under another device name: its Init finds the service
    // running and refuses.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Services\\Again", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    SetValue(u"Services\\Again", u"Dll", REG_SZ, u"KTnotif.dll", sizeof(u"KTnotif.dll"));
    SetValue(u"Services\\Again", u"Prefix", REG_SZ, u"KTN", sizeof(u"KTN"));
    DWORD one = 1;
    SetValue(u"Services\\Again", u"Index", REG_DWORD, &one, 4);
    SetValue(u"Services\\Again", u"Keep", REG_DWORD, &one, 4);
    EXPECT_EQ(emu::services::Start(m_world.Device(), u"Again"),
              static_cast<DWORD>(ERROR_OPEN_FAILED));

    HMODULE module = LoadLibraryW(u"\\Windows\\KTnotif.dll");
    ASSERT_NE(module, nullptr);
    auto control = reinterpret_cast<BOOL (*)(DWORD, DWORD, PBYTE, DWORD, PBYTE, DWORD, PDWORD)>(
        GetProcAddress(module, "KTN_IOControl"));
    auto open = reinterpret_cast<DWORD (*)(DWORD, DWORD, DWORD)>(GetProcAddress(module, "KTN_Open"));
    EXPECT_EQ(control(1, 0x12345678, nullptr, 0, nullptr, 0, nullptr), TRUE);
    EXPECT_EQ(open(1, 0, 0), 0u);
    FreeLibrary(module);

    EXPECT_EQ(StopService(), 0u);
    EXPECT_FALSE(ServiceWindowExists());
    EXPECT_EQ(GetServiceHandle(name, nullptr, nullptr), nullptr);
    // The volume is no longer the service's: it unmounted it.
    CEGUID volume;
    WCHAR path[] = u"\\kestrin.vol";
    ASSERT_TRUE(CeMountDBVol(&volume, path, OPEN_EXISTING));
    EXPECT_TRUE(CeUnmountDBVol(&volume));
    EXPECT_FALSE(CeUnmountDBVol(&volume));
}

TEST_F(LifecycleTest, AServiceWaitingForTheShellStopsAndStartsAgainOnceTheShellIsReady) {
    HANDLE shell = CreateEventW(nullptr, TRUE, FALSE, emu::services::kShellReadyEvent);
    ASSERT_NE(shell, nullptr);
    ASSERT_EQ(StartService(), 0u);
    Sleep(20);
    EXPECT_FALSE(ServiceWindowExists());
    // Stopping must not wait for a shell that never comes.
    EXPECT_EQ(StopService(), 0u);
    bool exists = true;
    Journal(u"_notif_KT", &exists);
    EXPECT_FALSE(exists);

    ASSERT_EQ(StartService(), 0u);
    SetEvent(shell);
    EXPECT_TRUE(Eventually(ServiceWindowExists));
    EXPECT_EQ(StopService(), 0u);
    // Started and stopped twice over: everything is back as before.
    ASSERT_EQ(StartService(), 0u);
    EXPECT_TRUE(Eventually(ServiceWindowExists));
    EXPECT_EQ(StopService(), 0u);
    EXPECT_FALSE(ServiceWindowExists());
    CloseHandle(shell);
}

TEST_F(LifecycleTest, ABootStartsTheServiceAfterWhichTheShellIsReady) {
    auto results = emu::services::Boot(m_world.Device());
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].error, 0u);
    EXPECT_TRUE(Eventually(ServiceWindowExists));
    emu::services::ShutDown(m_world.Device());
    EXPECT_FALSE(ServiceWindowExists());
}

}  // namespace
