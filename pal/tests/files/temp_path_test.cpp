#include "file_test_support.h"
#include "pal/runtime/machine.h"

namespace pal {
namespace {

class TempPath : public testing::DesktopTest {};

TEST_F(TempPath, DesktopUsesTmpThenTempThenTheProfileWithATrailingBackslash) {
    char buffer[MAX_PATH];
    EXPECT_EQ(GetTempPathA(MAX_PATH, buffer), 16u);
    EXPECT_STREQ(buffer, "C:\\Windows\\Temp\\");

    CurrentMachine().SetEnvironment(u"TMP", u"");
    CurrentMachine().SetEnvironment(u"TEMP", u"C:\\Temp D\u00E9j\u00E0\\");
    EXPECT_EQ(GetTempPathA(MAX_PATH, buffer), 13u);
    EXPECT_STREQ(buffer, "C:\\Temp D\xE9j\xE0\\");
    WCHAR wide[MAX_PATH];
    EXPECT_EQ(GetTempPathW(MAX_PATH, wide), 13u);
    EXPECT_EQ(std::u16string(wide), u"C:\\Temp D\u00E9j\u00E0\\");

    CurrentMachine().SetEnvironment(u"TEMP", u"");
    CurrentMachine().SetEnvironment(u"USERPROFILE", u"C:\\Profile");
    EXPECT_EQ(GetTempPathW(MAX_PATH, wide), 11u);
    EXPECT_EQ(std::u16string(wide), u"C:\\Profile\\");
    CurrentMachine().SetEnvironment(u"USERPROFILE", u"");
    EXPECT_EQ(GetTempPathW(MAX_PATH, wide), 11u);
    EXPECT_EQ(std::u16string(wide), u"C:\\Windows\\");
}

TEST_F(TempPath, ASmallBufferGetsTheSizeNeededAndIsLeftAlone) {
    char buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), 'q');
    EXPECT_EQ(GetTempPathA(16, buffer), 17u);  // 16 characters and the terminator
    EXPECT_EQ(buffer[0], 'q');
    EXPECT_EQ(GetTempPathA(0, nullptr), 17u);
    char exact[17];
    EXPECT_EQ(GetTempPathA(17, exact), 16u);
    EXPECT_STREQ(exact, "C:\\Windows\\Temp\\");
}

TEST_F(TempPath, DeviceTempIsBackslashTemp) {
    Use(m_world.Device());
    WCHAR wide[MAX_PATH];
    EXPECT_EQ(GetTempPathW(MAX_PATH, wide), 6u);
    EXPECT_EQ(std::u16string(wide), u"\\Temp\\");
    // The folder exists on a new device, so files can be put there at once.
    std::u16string path = std::u16string(wide) + u"msg1";
    testing::PutFile(path.c_str(), "body");
    EXPECT_EQ(testing::GetFile(u"\\temp\\MSG1"), "body");
}

}  // namespace
}  // namespace pal
