#include <thread>
#include <vector>

#include "pal/registry.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal/runtime/registry_store.h"
#include "pal_testing/temp_world.h"
#include "registry_test_util.h"

namespace pal {
namespace {

using testing::DesktopTest;
using testing::DeviceTest;

HKEY Create(HKEY root, const char16_t* path, DWORD* disposition = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(
        RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition),
        ERROR_SUCCESS);
    return key;
}

std::vector<std::u16string> EnumAll(HKEY key) {
    std::vector<std::u16string> names;
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD size = 256;
        LONG error = RegEnumKeyExW(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (error == ERROR_NO_MORE_ITEMS) break;
        EXPECT_EQ(error, ERROR_SUCCESS);
        if (error != ERROR_SUCCESS) break;
        names.emplace_back(name, size);
    }
    return names;
}

LONG SetDword(HKEY key, const char16_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
}

TEST(RegistryConstants, PredefinedKeysHaveTheirWindowsValues) {
    EXPECT_EQ(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT)), 0x80000000u);
    EXPECT_EQ(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(HKEY_CURRENT_USER)), 0x80000001u);
    EXPECT_EQ(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(HKEY_LOCAL_MACHINE)), 0x80000002u);
}

using RegistryKeys = DesktopTest;

TEST_F(RegistryKeys, CreateMakesIntermediateKeysAndReportsDisposition) {
    DWORD disposition = 0;
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software\\Quorvane\\Velumex", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    HKEY again = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\quorvane\\VELUMEX", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    EXPECT_NE(key, again);

    HKEY middle = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"software\\QUORVANE", 0, KEY_READ, &middle),
              ERROR_SUCCESS);
    EXPECT_EQ(EnumAll(middle), std::vector<std::u16string>{u"Velumex"});  // case kept

    HKEY bad = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"\\Lead", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &bad, nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"A\\\\B", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &bad, nullptr),
              ERROR_BAD_PATHNAME);
    for (HKEY k : {key, again, middle}) EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
}

TEST_F(RegistryKeys, OpenFailsCleanlyForMissingKeysAndBadHandles) {
    HKEY key = reinterpret_cast<HKEY>(0x1234);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Missing", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegOpenKeyExW(reinterpret_cast<HKEY>(0x4444), u"x", 0, KEY_READ, &key),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"x", 0, KEY_READ, nullptr),
              ERROR_INVALID_PARAMETER);

    // An empty or null subkey opens a new handle to the same key.
    HKEY parent = Create(HKEY_CURRENT_USER, u"Software\\Quorvane");
    HKEY same = nullptr, viaNull = nullptr;
    ASSERT_EQ(RegOpenKeyExW(parent, u"", 0, KEY_ALL_ACCESS, &same), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(parent, nullptr, 0, KEY_ALL_ACCESS, &viaNull), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(same, u"ID", 7), ERROR_SUCCESS);
    DWORD value = 0, size = 4;
    EXPECT_EQ(
        RegQueryValueExW(viaNull, u"id", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(value, 7u);

    EXPECT_EQ(RegCloseKey(same), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(same), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    RegCloseKey(viaNull);
    RegCloseKey(parent);
}

TEST_F(RegistryKeys, ClassesRootIsTheMachineClassesKeyItself) {
    HKEY viaRoot = Create(HKEY_CLASSES_ROOT, u"CLSID\\{B09BEBD5}\\InprocServer32");
    ASSERT_EQ(
        RegSetValueExW(viaRoot, nullptr, 0, REG_SZ, testing::Utf16Bytes(u"C:\\T.dll").data(), 18),
        ERROR_SUCCESS);
    RegistryStore store(CurrentMachine());
    auto value = store.GetValue(u"HKLM\\SOFTWARE\\Classes\\CLSID\\{B09BEBD5}\\InprocServer32", u"");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->data, testing::Utf16Bytes(u"C:\\T.dll"));

    // A change through HKLM shows through HKCR at once, and deleting there deletes here.
    store.SetDword(u"HKLM\\Software\\Classes\\KV.WinCE.OE.3", u"x", 1);
    HKEY progId = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"kv.wince.oe.3", 0, KEY_READ, &progId),
              ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\KV.WinCE.OE.3"),
              ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(progId, u"x", nullptr, nullptr, nullptr, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_FALSE(store.KeyExists(u"HKCR\\KV.WinCE.OE.3"));
    RegCloseKey(progId);
    RegCloseKey(viaRoot);
}

TEST_F(RegistryKeys, DesktopDeletesOnlyKeysWithoutSubkeys) {
    HKEY leaf = Create(HKEY_CLASSES_ROOT, u"CLSID\\{X}\\ProgId");
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\{X}"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\{X}\\ProgId"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\{X}\\ProgId"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\{X}"), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(leaf, u"v", 1), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCloseKey(leaf), ERROR_SUCCESS);
}

TEST_F(RegistryKeys, DesktopEnforcesKeyAccess) {
    HKEY all = Create(HKEY_LOCAL_MACHINE, u"Software\\Quorvane");
    HKEY read = nullptr, write = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Quorvane", 0, KEY_READ, &read),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Quorvane", 0, KEY_SET_VALUE, &write),
              ERROR_SUCCESS);
    EXPECT_EQ(SetDword(read, u"v", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueW(read, u"v"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetDword(write, u"v", 1), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(write, u"v", nullptr, nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);
    WCHAR name[8];
    DWORD size = 8;
    EXPECT_EQ(RegEnumKeyExW(write, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);
    HKEY sub = nullptr;
    EXPECT_EQ(RegCreateKeyExW(read, u"New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegEnumKeyExW(read, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);  // nothing was created
    for (HKEY k : {all, read, write}) RegCloseKey(k);
}

TEST_F(RegistryKeys, EnumerationIsInNameOrderWithoutRegardToCase) {
    HKEY services = Create(HKEY_LOCAL_MACHINE, u"Services");
    for (auto name : {u"beta", u"Alpha", u"gamma", u"Delta"}) RegCloseKey(Create(services, name));
    EXPECT_EQ(EnumAll(services),
              (std::vector<std::u16string>{u"Alpha", u"beta", u"Delta", u"gamma"}));

    WCHAR name[8] = u"unset";
    DWORD size = 5;  // "Alpha" needs 6 with its terminator
    EXPECT_EQ(RegEnumKeyExW(services, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    size = 6;
    FILETIME written{};
    EXPECT_EQ(RegEnumKeyExW(services, 0, name, &size, nullptr, nullptr, nullptr, &written),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(std::u16string(name), u"Alpha");
    EXPECT_NE(written.dwHighDateTime, 0u);
    char ansi[8];
    size = 8;
    EXPECT_EQ(RegEnumKeyExA(services, 3, ansi, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(ansi), "gamma");
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(RegEnumKeyExA(services, 4, ansi, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    RegCloseKey(services);
}

TEST_F(RegistryKeys, HandlesBelongToTheProcessThatOpenedThem) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software");
    auto other = CurrentMachine().CreateProcess(u"C:\\other.exe");
    {
        ScopedContext inOther(CurrentMachine(), other);
        EXPECT_EQ(SetDword(key, u"v", 1), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(SetDword(key, u"v", 1), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryKeys, ConcurrentWritersLoseNothing) {
    HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Busy");
    Machine& machine = CurrentMachine();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&machine, key, t] {
            ScopedContext context(machine);
            for (int i = 0; i < 200; ++i) {
                std::u16string name =
                    u"t" + std::u16string(1, u'0' + t) + u"_" + U16(std::to_string(i));
                HKEY sub = nullptr;
                RegCreateKeyExW(HKEY_CURRENT_USER, (u"Software\\Busy\\" + name).c_str(), 0, nullptr,
                                0, KEY_ALL_ACCESS, nullptr, &sub, nullptr);
                SetDword(key, name.c_str(), static_cast<DWORD>(i));
                RegCloseKey(sub);
            }
        });
    for (auto& thread : threads) thread.join();
    RegistryStore store(machine);
    EXPECT_EQ(store.Values(u"HKCU\\Software\\Busy").size(), 800u);
    EXPECT_EQ(store.SubkeyNames(u"HKCU\\Software\\Busy").size(), 800u);
    RegCloseKey(key);
}

using DeviceRegistryKeys = DeviceTest;

TEST_F(DeviceRegistryKeys, DeleteRemovesTheWholeSubtreeAndIgnoresAccess) {
    HKEY services = nullptr;
    RegistryStore store(CurrentMachine());
    store.SetDword(u"HKLM\\Services\\KTNotif\\Sub\\Deeper", u"Order", 3);
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Services", 0, KEY_READ, &services),
              ERROR_SUCCESS);
    HKEY deep = nullptr;
    ASSERT_EQ(RegOpenKeyExW(services, u"KTNotif\\Sub\\Deeper", 0, 0, &deep), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(services, u"v", 1), ERROR_SUCCESS);  // access is not checked on CE

    EXPECT_EQ(RegDeleteKeyW(services, u"KTNotif"), ERROR_SUCCESS);
    EXPECT_FALSE(store.KeyExists(u"HKLM\\Services\\KTNotif"));
    DWORD size = 4;
    EXPECT_EQ(RegQueryValueExW(deep, u"Order", nullptr, nullptr, nullptr, &size),
              ERROR_KEY_DELETED);
    HKEY reopened = nullptr;
    EXPECT_EQ(RegCreateKeyExW(deep, u"x", 0, nullptr, 0, 0, nullptr, &reopened, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(deep), ERROR_SUCCESS);
    RegCloseKey(services);
}

TEST_F(DeviceRegistryKeys, FirstSubkeyDeletionLoopEmptiesAKey) {
    RegistryStore store(CurrentMachine());
    for (auto path : {u"HKLM\\Software\\Microsoft\\Inbox\\Svc\\Kestrin\\MsgClasses",
                      u"HKLM\\Software\\Microsoft\\Inbox\\Svc\\Kestrin\\Other\\Leaf"})
        store.CreateKey(path);
    HKEY kestrin = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Inbox\\Svc\\Kestrin", 0,
                            KEY_ALL_ACCESS, &kestrin),
              ERROR_SUCCESS);
    int deleted = 0;
    for (;;) {
        WCHAR name[257];
        DWORD size = 257;
        if (RegEnumKeyExW(kestrin, 0, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        ASSERT_EQ(RegDeleteKeyW(kestrin, name), ERROR_SUCCESS);
        ++deleted;
    }
    EXPECT_EQ(deleted, 2);
    RegCloseKey(kestrin);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Inbox\\Svc\\Kestrin"),
              ERROR_SUCCESS);
    EXPECT_TRUE(store.KeyExists(u"HKLM\\Software\\Microsoft\\Inbox\\Svc"));
}

}  // namespace
}  // namespace pal
