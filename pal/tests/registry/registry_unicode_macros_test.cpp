// Device code defines UNICODE: the unsuffixed names are the W forms.
#define UNICODE
#include "pal/registry.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

using UnicodeRegistry = testing::DeviceTest;

TEST_F(UnicodeRegistry, UnsuffixedNamesAreTheWideCalls) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, TEXT("Software\\Quorvane\\Velumex"), 0, nullptr, 0,
                             0, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    DWORD id = 0x1234;
    ASSERT_EQ(RegSetValueEx(key, TEXT("ID"), 0, REG_DWORD, reinterpret_cast<BYTE*>(&id), 4),
              ERROR_SUCCESS);
    HKEY opened = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, TEXT("software\\quorvane\\velumex"), 0, 0, &opened),
              ERROR_SUCCESS);
    DWORD read = 0, size = sizeof read;
    EXPECT_EQ(RegQueryValueEx(opened, TEXT("id"), nullptr, nullptr, reinterpret_cast<BYTE*>(&read),
                              &size),
              ERROR_SUCCESS);
    EXPECT_EQ(read, 0x1234u);
    TCHAR name[16];
    size = 16;
    EXPECT_EQ(RegEnumKeyEx(HKEY_CURRENT_USER, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name), u"Software");
    EXPECT_EQ(RegDeleteValue(opened, TEXT("ID")), ERROR_SUCCESS);
    EXPECT_EQ(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    RegCloseKey(opened);
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, TEXT("Software")), ERROR_SUCCESS);  // CE: subtree
}

}  // namespace
}  // namespace pal
