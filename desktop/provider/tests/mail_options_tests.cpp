// The partnership's mail options in the registry, and the setting the device gets from them.
#include "mail_fixture.h"
#include "mail_options.h"

namespace trellium_testing {
namespace {

class MailOptionsTest : public MailStoreTest {
protected:
    // The partnership key as the engine hands it out for the connected device.
    HKEY ConnectedKey() { return QueryPartnershipKey(m_notify, 0); }
};

TEST_F(MailOptionsTest, WithoutTheSubkeyEveryValueKeepsItsDefault) {
    Connect(Partner());
    HKEY key = ConnectedKey();
    ASSERT_NE(key, nullptr);
    MailSettings settings;
    LoadMailOptions(key, &settings);
    EXPECT_EQ(settings.options, 0x57u);
    EXPECT_EQ(settings.maxLines, 50u);
    EXPECT_EQ(settings.days, 4u);
    EXPECT_EQ(settings.sizeLimit, 20u);
    RegCloseKey(key);
}

TEST_F(MailOptionsTest, ValuesThatExistReplaceTheirDefaultsOnly) {
    DWORD id = Partner();
    Connect(id);
    SetOption(id, "Days", 0);
    SetOption(id, "MaxLines", 7);
    // A value of another type counts as missing.
    HKEY options = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, OptionsPath(id).c_str(), 0, KEY_ALL_ACCESS, &options);
    RegSetValueExA(options, "Options", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
    RegCloseKey(options);

    HKEY key = ConnectedKey();
    MailSettings settings;
    LoadMailOptions(key, &settings);
    EXPECT_EQ(settings.options, 0x57u);
    EXPECT_EQ(settings.maxLines, 7u);
    EXPECT_EQ(settings.days, 0u);
    EXPECT_EQ(settings.sizeLimit, 20u);
    RegCloseKey(key);
}

TEST_F(MailOptionsTest, TheDeviceKeepsNoSentCopyOnlyWithBothBits) {
    Connect(Partner());
    CreateDeviceSettings();
    struct Case {
        DWORD options;
        DWORD expected;
    };
    for (Case c : {Case{0x10 | 0x40, 1}, Case{0x10, 0}, Case{0x40, 0}, Case{0, 0}, Case{0x57, 1},
                   Case{0x17, 0}}) {
        MailSettings settings;
        settings.options = c.options;
        EXPECT_TRUE(WriteNoKeepSentOver(settings, 0));
        EXPECT_EQ(DeviceValue(u"NoKeepSentOver"), c.expected) << std::hex << c.options;
    }
}

TEST_F(MailOptionsTest, NothingIsWrittenForTheSelectedDeviceOrWithoutTheDeviceKey) {
    Connect(Partner());
    MailSettings settings;
    // The device has no settings key yet: it is not made here.
    EXPECT_FALSE(WriteNoKeepSentOver(settings, 0));
    EXPECT_EQ(DeviceValue(u"NoKeepSentOver"), std::nullopt);
    CreateDeviceSettings();
    EXPECT_FALSE(WriteNoKeepSentOver(settings, ISF_SELECTED_DEVICE));
    EXPECT_EQ(DeviceValue(u"NoKeepSentOver"), std::nullopt);
    m_link->Disconnect();
    EXPECT_FALSE(WriteNoKeepSentOver(settings, 0));
    EXPECT_EQ(DeviceValue(u"NoKeepSentOver"), std::nullopt);
}

}  // namespace
}  // namespace trellium_testing
