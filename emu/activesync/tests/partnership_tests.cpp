#include <gtest/gtest.h>

#include "activesync/partnerships.h"
#include "pal/runtime/registry_store.h"
#include "pal_testing/temp_world.h"

namespace {

using namespace activesync;

class PartnershipTest : public pal::testing::DesktopTest {
protected:
    pal::Machine& Desktop() { return m_world.Desktop(); }
    pal::Machine& Device() { return m_world.Device(); }
    std::u16string ObjectsOf(DWORD id) {
        return PartnershipKeyPath(id) + u"\\Services\\Synchronization\\Objects";
    }
};

TEST_F(PartnershipTest, NewPartnershipStartsFromItsDeviceTypesSpecialDefaults) {
    InstallEngine(Desktop());
    pal::RegistryStore desktop(Desktop());
    std::u16string defaults = std::u16string(kSpecialDefaultsKey) +
                              u"\\PocketPC04\\Services\\Synchronization\\Objects\\Message";
    desktop.SetDword(defaults, u"Disabled", 1);
    desktop.SetString(defaults, u"Store", u"KV.WinCE.OE.3");
    desktop.SetDword(std::u16string(kFilterDefaultsKey), u"EnableConversion", 0);

    Partnership made = CreatePartnership(Desktop(), Device(), u"PocketPC04", 0x1234);

    EXPECT_EQ(made.id, 0x1234u);
    EXPECT_EQ(made.partnerBit, 1u);
    EXPECT_EQ(PartnershipKeyPath(0x1234),
              u"HKCU\\Software\\Microsoft\\Windows CE Services\\Partners\\00001234");
    EXPECT_EQ(desktop.GetValue(PartnershipKeyPath(0x1234), u"DeviceType")->data.size(), 22u);
    auto store = desktop.GetValue(ObjectsOf(0x1234) + u"\\Message", u"Store");
    ASSERT_TRUE(store);
    auto enableConversion =
        desktop.GetValue(PartnershipKeyPath(0x1234) + u"\\Filters", u"EnableConversion");
    ASSERT_TRUE(enableConversion);
    EXPECT_EQ(enableConversion->data[0], 0);
    // The engine's own object types come along, enabled.
    bool sawContact = false;
    for (auto& object : made.objects) {
        if (object.type == u"Message") {
            EXPECT_EQ(object.disabled, 1u);
            EXPECT_EQ(object.store, u"KV.WinCE.OE.3");
        }
        if (object.type == u"Contact") {
            sawContact = true;
            EXPECT_EQ(object.disabled, 0u);
        }
    }
    EXPECT_TRUE(sawContact);
    // A later change of the defaults does not reach an existing partnership.
    desktop.SetDword(defaults, u"Disabled", 0);
    EXPECT_EQ(desktop.GetValue(ObjectsOf(0x1234) + u"\\Message", u"Disabled")->data[0], 1);
}

TEST_F(PartnershipTest, DeviceHoldsTwoPartnershipsAndRefusesAThird) {
    Partnership first = CreatePartnership(Desktop(), Device(), u"PocketPC");
    Partnership second = CreatePartnership(Desktop(), Device(), u"PocketPC");
    EXPECT_NE(first.id, 0u);
    EXPECT_NE(first.id, second.id);
    EXPECT_EQ(first.partnerBit, 1u);
    EXPECT_EQ(second.partnerBit, 2u);

    pal::RegistryStore device(Device());
    auto p2 = device.GetValue(std::u16string(kDevicePartnersKey) + u"\\P2", u"PId");
    ASSERT_TRUE(p2);
    DWORD stored = p2->data[0] | p2->data[1] << 8 | p2->data[2] << 16 | p2->data[3] << 24;
    EXPECT_EQ(stored, second.id);

    EXPECT_THROW(CreatePartnership(Desktop(), Device(), u"PocketPC", 77), PartnershipError);
    EXPECT_FALSE(pal::RegistryStore(Desktop()).KeyExists(PartnershipKeyPath(77)));
    EXPECT_EQ(ListPartnerships(Desktop(), Device()).size(), 2u);

    // Removing the first frees its slot for the next one.
    DeletePartnership(Desktop(), Device(), first.id);
    EXPECT_FALSE(device.KeyExists(std::u16string(kDevicePartnersKey) + u"\\P1"));
    EXPECT_EQ(CreatePartnership(Desktop(), Device(), u"PocketPC", 77).partnerBit, 1u);
}

TEST_F(PartnershipTest, BadRequestsAreRefusedWithoutWriting) {
    EXPECT_THROW(CreatePartnership(Desktop(), Device(), u"PocketPC", 0), PartnershipError);
    EXPECT_THROW(CreatePartnership(Desktop(), Device(), u"PocketPC", 0xFFFFFFFF),
                 PartnershipError);
    EXPECT_THROW(CreatePartnership(Desktop(), Device(), u""), PartnershipError);
    CreatePartnership(Desktop(), Device(), u"PocketPC", 5);
    EXPECT_THROW(CreatePartnership(Desktop(), Device(), u"PocketPC", 5), PartnershipError);
    EXPECT_EQ(ListPartnerships(Desktop(), Device()).size(), 1u);
    EXPECT_THROW(DeletePartnership(Desktop(), Device(), 6), PartnershipError);
    EXPECT_THROW(SelectPartnership(Desktop(), 6), PartnershipError);
}

TEST_F(PartnershipTest, FirstPartnershipIsSelectedAndSelectionSurvivesReopening) {
    CreatePartnership(Desktop(), Device(), u"PocketPC", 10);
    CreatePartnership(Desktop(), Device(), u"PocketPC", 11);
    EXPECT_EQ(SelectedPartnership(Desktop()), 10u);
    SelectPartnership(Desktop(), 11);
    Reopen();
    EXPECT_EQ(SelectedPartnership(Desktop()), 11u);
    DeletePartnership(Desktop(), Device(), 11);
    EXPECT_EQ(SelectedPartnership(Desktop()), 0u);
}

TEST_F(PartnershipTest, EngineSetupChoosesItsObjectTypesOnce) {
    EXPECT_TRUE(InstallEngine(Desktop(), {.mailType = false, .contactsType = true}));
    EXPECT_FALSE(InstallEngine(Desktop()));
    pal::RegistryStore desktop(Desktop());
    std::u16string objects =
        std::u16string(kSpecialDefaultsKey) + u"\\PocketPC\\Services\\Synchronization\\Objects";
    EXPECT_FALSE(desktop.KeyExists(objects + u"\\Merlin Mail"));
    EXPECT_TRUE(desktop.KeyExists(objects + u"\\Contact"));
}

}  // namespace
