#include <gtest/gtest.h>

#include <string>

#include "pal/runtime/machine.h"
#include "pal/system.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

class LocaleInfoTest : public testing::DesktopTest {
protected:
    void SetLocale(LCID locale) {
        auto config = CurrentMachine().Config();
        config.locale = locale;
        CurrentMachine().SetConfig(config);
    }
    std::string ListSeparator(LCID locale) {
        char separator[5] = "xxxx";
        int written = GetLocaleInfoA(locale, LOCALE_SLIST, separator, 5);
        if (written == 0) return "<error " + std::to_string(GetLastError()) + ">";
        EXPECT_EQ(written, static_cast<int>(std::char_traits<char>::length(separator)) + 1);
        return separator;
    }
};

TEST_F(LocaleInfoTest, ListSeparatorsOfTheKnownLocales) {
    EXPECT_EQ(ListSeparator(0x0409), ",");
    EXPECT_EQ(ListSeparator(0x0809), ",");
    EXPECT_EQ(ListSeparator(0x0407), ";");
    EXPECT_EQ(ListSeparator(0x040C), ";");
    EXPECT_EQ(ListSeparator(0x0410), ";");
    EXPECT_EQ(ListSeparator(0x0C0A), ";");
    EXPECT_EQ(ListSeparator(0x0413), ";");
    EXPECT_EQ(ListSeparator(0x0411), ",");
}

TEST_F(LocaleInfoTest, DefaultLocalesAreTheMachinesLocale) {
    EXPECT_EQ(ListSeparator(LOCALE_SYSTEM_DEFAULT), ",");
    SetLocale(0x0407);
    EXPECT_EQ(ListSeparator(LOCALE_SYSTEM_DEFAULT), ";");
    EXPECT_EQ(ListSeparator(LOCALE_USER_DEFAULT), ";");
    Use(m_world.Device());  // the device keeps its own locale
    EXPECT_EQ(ListSeparator(LOCALE_SYSTEM_DEFAULT), ",");
}

TEST_F(LocaleInfoTest, SizeQueryAndTooSmallBuffers) {
    EXPECT_EQ(GetLocaleInfoA(0x0407, LOCALE_SLIST, nullptr, 0), 2);
    EXPECT_EQ(GetLocaleInfoW(0x0407, LOCALE_SLIST, nullptr, 0), 2);
    char one[1] = {'x'};
    SetLastError(0);
    EXPECT_EQ(GetLocaleInfoA(0x0407, LOCALE_SLIST, one, 1), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(one[0], 'x');
    WCHAR wide[2] = {u'x', u'x'};
    EXPECT_EQ(GetLocaleInfoW(0x040C, LOCALE_SLIST, wide, 2), 2);
    EXPECT_EQ(std::u16string(wide), u";");
}

TEST_F(LocaleInfoTest, UnknownLocalesAndTypesFail) {
    char buffer[5] = {};
    EXPECT_EQ(GetLocaleInfoA(0x7777, LOCALE_SLIST, buffer, 5), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetLocaleInfoA(0x0409, 0x7FFF, buffer, 5), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
    EXPECT_EQ(GetLocaleInfoA(0x0409, LOCALE_SLIST, nullptr, 5), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetLocaleInfoA(0x0409, LOCALE_SLIST, buffer, -1), 0);
    SetLocale(0x7777);  // a machine set to a locale the layer does not know
    EXPECT_EQ(GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SLIST, buffer, 5), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
}  // namespace pal
