#include <gtest/gtest.h>

#include <cfgmgrapi.h>

#include "emu/cemapi/message_stores.h"
#include "emu/configmgr/accounts.h"
#include "pal_testing/temp_world.h"

namespace {

using namespace emu::configmgr;

class ConfigManagerTest : public pal::testing::DeviceTest {
protected:
    HRESULT Process(const std::u16string& xml) {
        LPWSTR out = nullptr;
        HRESULT result = DMProcessConfigXML(xml.c_str(), CFGFLAG_PROCESS, &out);
        if (SUCCEEDED(result)) {
            EXPECT_NE(out, nullptr);
            delete[] out;
        } else {
            EXPECT_EQ(out, nullptr);
        }
        return result;
    }
};

constexpr char16_t kAdd[] =
    u"<wap-provisioningdoc><characteristic type=\"EMAIL2\"><characteristic type=\"{A1}\">"
    u"<parm name=\"SERVICENAME\" value=\"Ann &amp; Bob\"/><parm name=\"SERVICETYPE\" "
    u"value=\"Kestrin\"/></characteristic></characteristic></wap-provisioningdoc>";
constexpr char16_t kRemove[] =
    u"<wap-provisioningdoc><characteristic type=\"EMAIL2\"><nocharacteristic type=\"{A1}\"/>"
    u"</characteristic></wap-provisioningdoc>";

TEST_F(ConfigManagerTest, AnAddedAccountGetsItsStoreAndIsRemovedAgain) {
    ASSERT_EQ(Process(kAdd), S_OK);
    auto accounts = ListAccounts(m_world.Device());
    ASSERT_EQ(accounts.size(), 1u);
    EXPECT_EQ(accounts[0].id, u"{A1}");
    EXPECT_EQ(accounts[0].Parm(u"SERVICENAME"), u"Ann & Bob");
    EXPECT_EQ(accounts[0].Parm(u"SERVICETYPE"), u"Kestrin");
    EXPECT_TRUE(emu::cemapi::FindStore(m_world.Device(), u"Ann & Bob"));
    // Provisioning the same account again neither fails nor makes a second store.
    ASSERT_EQ(Process(kAdd), S_OK);
    EXPECT_EQ(emu::cemapi::ListStores(m_world.Device()).size(), 1u);

    ASSERT_EQ(Process(kRemove), S_OK);
    EXPECT_TRUE(ListAccounts(m_world.Device()).empty());
    EXPECT_EQ(Process(kRemove), S_OK);
}

TEST_F(ConfigManagerTest, ARefusedDocumentChangesNothing) {
    EXPECT_EQ(Process(u"<wap-provisioningdoc><characteristic"), CONFIG_E_BAD_XML);
    EXPECT_EQ(Process(u"<other/>"), CONFIG_E_BAD_XML);
    // The first account is valid, the second has a parameter no account has: neither is added.
    EXPECT_EQ(Process(u"<wap-provisioningdoc><characteristic type=\"EMAIL2\">"
                      u"<characteristic type=\"{A1}\"><parm name=\"SERVICENAME\" value=\"A\"/>"
                      u"</characteristic><characteristic type=\"{A2}\"><parm name=\"COLOUR\" "
                      u"value=\"red\"/></characteristic></characteristic></wap-provisioningdoc>"),
              CONFIG_E_CSPNOTFOUND);
    EXPECT_EQ(Process(u"<wap-provisioningdoc><characteristic type=\"Wi-Fi\"/>"
                      u"</wap-provisioningdoc>"),
              CONFIG_E_CSPNOTFOUND);
    EXPECT_TRUE(ListAccounts(m_world.Device()).empty());
    EXPECT_TRUE(emu::cemapi::ListStores(m_world.Device()).empty());
    EXPECT_EQ(DMProcessConfigXML(kAdd, 0, nullptr), E_INVALIDARG);
    EXPECT_EQ(DMProcessConfigXML(nullptr, CFGFLAG_PROCESS, nullptr), E_INVALIDARG);
}

TEST_F(ConfigManagerTest, ARegistryRemovalDeletesTheKeyItNames) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Quorvane\\Velumex", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(Process(u"<wap-provisioningdoc><characteristic type=\"Registry\"><nocharacteristic "
                      u"type=\"HKCU\\Software\\Quorvane\\Velumex\"/></characteristic>"
                      u"</wap-provisioningdoc>"),
              S_OK);
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Quorvane\\Velumex", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_TRUE(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Quorvane", 0, KEY_READ, &key) ==
                ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(Process(u"<wap-provisioningdoc><characteristic type=\"Registry\"><nocharacteristic "
                      u"type=\"HKXX\\Software\"/></characteristic></wap-provisioningdoc>"),
              CONFIG_E_BAD_XML);
}

}  // namespace
