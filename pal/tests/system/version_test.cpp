#include <gtest/gtest.h>

#include <cstring>

#include "pal/system.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

TEST(OsVersion, EachMachineAnswersItsOwnOs) {
    testing::TempWorld world({5, 1});
    {
        ScopedContext desktop(world.Desktop());
        OSVERSIONINFOA info;
        std::memset(&info, 0x55, sizeof info);
        info.dwOSVersionInfoSize = sizeof info;
        ASSERT_TRUE(GetVersionExA(&info));
        EXPECT_EQ(info.dwMajorVersion, 5u);
        EXPECT_EQ(info.dwMinorVersion, 1u);
        EXPECT_EQ(info.dwBuildNumber, 2600u);
        EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
        EXPECT_EQ(info.szCSDVersion[0], 0);
    }
    ScopedContext device(world.Device());
    OSVERSIONINFOW info;
    std::memset(&info, 0x55, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExW(&info));
    EXPECT_EQ(info.dwMajorVersion, 5u);
    EXPECT_EQ(info.dwMinorVersion, 1u);
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_CE));
    EXPECT_EQ(info.szCSDVersion[0], 0);
}

class Version : public testing::DesktopTest {};

TEST_F(Version, TheStructureSizeIsChecked) {
    EXPECT_EQ(sizeof(OSVERSIONINFOA), 148u);
    EXPECT_EQ(sizeof(OSVERSIONINFOW), 276u);
    OSVERSIONINFOA narrow{};
    narrow.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    SetLastError(0);
    EXPECT_FALSE(GetVersionExA(&narrow));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(narrow.dwMajorVersion, 0u);
    OSVERSIONINFOW wide{};
    wide.dwOSVersionInfoSize = 0;
    EXPECT_FALSE(GetVersionExW(&wide));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_FALSE(GetVersionExW(nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
}  // namespace pal
