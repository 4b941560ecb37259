#include <gtest/gtest.h>

#include <cstring>

#include "activesync/device_link.h"
#include "activesync/partnerships.h"
#include "ceutil.h"
#include "pal/runtime/registry_store.h"
#include "pal_testing/temp_world.h"

namespace {

using namespace activesync;

class CeUtilTest : public pal::testing::DesktopTest {
protected:
    CeUtilTest() {
        CreatePartnership(m_world.Desktop(), m_world.Device(), u"PocketPC04", 0x700);
        CreatePartnership(m_world.Desktop(), m_world.Device(), u"PocketPC", 0x800);
        pal::RegistryStore(m_world.Desktop())
            .SetDword(PartnershipKeyPath(0x700) + u"\\Services\\Synchronization\\Objects\\Contact",
                      u"Disabled", 1);
    }
    static LPSTR Id(DWORD id) { return reinterpret_cast<LPSTR>(static_cast<DWORD_PTR>(id)); }
};

TEST_F(CeUtilTest, OpensAPartnershipAndReadsItsValues) {
    HCESVC partnership = nullptr;
    ASSERT_EQ(CeSvcOpen(CESVC_DEVICEX, Id(0x700), FALSE, &partnership), S_OK);
    char deviceType[32];
    ASSERT_EQ(CeSvcGetString(partnership, "DeviceType", deviceType, sizeof deviceType), S_OK);
    EXPECT_STREQ(deviceType, "PocketPC04");
    char tooShort[10] = "x";
    EXPECT_EQ(CeSvcGetString(partnership, "DeviceType", tooShort, sizeof tooShort),
              HRESULT_FROM_WIN32(ERROR_MORE_DATA));
    EXPECT_STREQ(tooShort, "");
    DWORD id = 0;
    EXPECT_EQ(CeSvcGetDword(partnership, "PId", &id), S_OK);
    EXPECT_EQ(id, 0x700u);
    EXPECT_EQ(CeSvcGetDword(partnership, "DeviceType", &id), E_FAIL);
    EXPECT_EQ(CeSvcGetString(partnership, "PId", deviceType, sizeof deviceType), E_FAIL);
    EXPECT_EQ(CeSvcGetDword(partnership, "Missing", &id), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

    HCESVC contact = nullptr;
    char path[] = "Services\\Synchronization\\Objects\\Contact";
    ASSERT_EQ(CeSvcOpenEx(partnership, path, FALSE, &contact), S_OK);
    DWORD disabled = 0;
    EXPECT_EQ(CeSvcGetDword(contact, "Disabled", &disabled), S_OK);
    EXPECT_EQ(disabled, 1u);
    EXPECT_EQ(CeSvcClose(contact), S_OK);

    HCESVC options = nullptr;
    char missing[] = "KV.WinCE.OE.3";
    EXPECT_EQ(CeSvcOpenEx(partnership, missing, FALSE, &options),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(options, nullptr);
    ASSERT_EQ(CeSvcOpenEx(partnership, missing, TRUE, &options), S_OK);
    EXPECT_EQ(CeSvcClose(options), S_OK);
    EXPECT_TRUE(pal::RegistryStore(m_world.Desktop())
                    .KeyExists(PartnershipKeyPath(0x700) + u"\\KV.WinCE.OE.3"));
    EXPECT_EQ(CeSvcClose(partnership), S_OK);
}

TEST_F(CeUtilTest, BadArgumentsAndMissingPartnershipsFail) {
    HCESVC key = reinterpret_cast<HCESVC>(1);
    EXPECT_EQ(CeSvcOpen(CESVC_DEVICEX, Id(0x999), FALSE, &key),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(CeSvcOpen(CESVC_DEVICEX, Id(0), FALSE, &key), E_INVALIDARG);
    EXPECT_EQ(CeSvcOpen(CESVC_DEVICEX, Id(0xFFFFFFFF), FALSE, &key), E_INVALIDARG);
    EXPECT_EQ(CeSvcOpen(1, Id(0x700), FALSE, &key), E_INVALIDARG);
    EXPECT_EQ(CeSvcOpen(CESVC_DEVICEX, Id(0x700), FALSE, nullptr), E_INVALIDARG);
    DWORD value = 0;
    EXPECT_EQ(CeSvcGetDword(nullptr, "PId", &value), E_INVALIDARG);
    EXPECT_EQ(CeSvcGetDword(reinterpret_cast<HCESVC>(0x7777), "PId", &value), E_INVALIDARG);
    EXPECT_EQ(CeSvcClose(nullptr), E_INVALIDARG);
}

TEST_F(CeUtilTest, EnumeratesEveryProfile) {
    HCESVC enumeration = nullptr;
    std::vector<DWORD> ids;
    DWORD id = 0;
    for (DWORD index = 0; CeSvcEnumProfiles(&enumeration, index, &id) == S_OK; ++index)
        ids.push_back(id);
    EXPECT_EQ(CeSvcEnumProfiles(&enumeration, 2, &id), HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS));
    EXPECT_EQ(ids, (std::vector<DWORD>{0x700, 0x800}));
    EXPECT_EQ(CeSvcClose(enumeration), S_OK);
    EXPECT_EQ(CeSvcEnumProfiles(nullptr, 0, &id), E_INVALIDARG);
}

TEST_F(CeUtilTest, DeviceIdsFollowTheConnectionAndTheSelection) {
    EXPECT_EQ(CeGetSelectedDeviceId(), 0x700u);
    EXPECT_EQ(CeGetDeviceId(), 0u);
    {
        DeviceLink link(m_world.Get());
        EXPECT_EQ(CeGetDeviceId(), 0u);
        link.Connect(0x800);
        EXPECT_EQ(CeGetDeviceId(), 0x800u);
        EXPECT_EQ(CeGetSelectedDeviceId(), 0x800u);
        SelectPartnership(m_world.Desktop(), 0x700);
        EXPECT_EQ(CeGetSelectedDeviceId(), 0x700u);
    }
    // Without a link nothing is connected, though the world still records the connection.
    EXPECT_EQ(CeGetDeviceId(), 0u);
    DeviceLink again(m_world.Get());
    EXPECT_EQ(CeGetDeviceId(), 0x800u);
}

}  // namespace
