#include <gtest/gtest.h>

#include "emu/cemapi/message_stores.h"
#include "setup_fixture.h"

namespace {

constexpr char16_t kTransportKey[] = u"Software\\Microsoft\\Inbox\\Svc\\Kestrin";
constexpr char16_t kEngineKey[] = u"Software\\Microsoft\\Inbox\\Svc\\ActiveSync";
constexpr char16_t kAccount[] = u"{C901BAA6-3A79-4d75-8395-CBF7AD3DDC89}";

class LauncherTest : public SetupTest {
protected:
    LauncherTest() { SetValue(HKEY_LOCAL_MACHINE, kTransportKey, u"DLL", u"KTtrans.dll"); }

    std::u16string AccountName() {
        for (const auto& account : emu::configmgr::ListAccounts(Device()))
            if (account.id == kAccount) return account.Parm(u"SERVICENAME");
        return u"<none>";
    }
};

TEST_F(LauncherTest, TheAccountTakesItsNameFromTheEnginesAccount) {
    RunLauncher(u"/email");
    EXPECT_EQ(AccountName(), u"Outlook Express");
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, kTransportKey, u"FriendlyName"), u"Outlook Express");
    EXPECT_TRUE(emu::cemapi::FindStore(Device(), u"Outlook Express"));

    // Text around "Outlook" stays; characters that mean something in XML arrive as they are.
    SetValue(HKEY_LOCAL_MACHINE, kEngineKey, u"FriendlyName", u"Ann & \"Bob\" <Outlook> 's");
    RunLauncher(u"/EMAIL");
    EXPECT_EQ(AccountName(), u"Ann & \"Bob\" <Outlook Express> 's");
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, kTransportKey, u"FriendlyName"),
              u"Ann & \"Bob\" <Outlook Express> 's");
}

TEST_F(LauncherTest, ALongNameIsCutToItsBuffer) {
    SetValue(HKEY_LOCAL_MACHINE, kEngineKey, u"FriendlyName", std::u16string(60, u'x') + u"Outlook");
    RunLauncher(u"/email");
    std::u16string expected = std::u16string(60, u'x') + u"Out";
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, kTransportKey, u"FriendlyName"), expected);
    EXPECT_EQ(AccountName(), expected);
}

TEST_F(LauncherTest, WithoutTheInstallArgumentOnlyTheServiceIsStarted) {
    RunLauncher(u"");
    EXPECT_EQ(AccountName(), u"<none>");
    EXPECT_FALSE(ServiceRunning());  // not registered: ActivateService cannot start it
}

TEST_F(LauncherTest, TheProvisioningFileIsAppliedOnceAndDeleted) {
    std::ofstream(Host(u"\\VelumexSetup.xml"), std::ios::binary)
        << "<wap-provisioningdoc><characteristic type=\"EMAIL2\"><characteristic type=\"{B2}\">"
           "<parm name=\"SERVICENAME\" value=\"Caf\xE9\"/></characteristic></characteristic>"
           "</wap-provisioningdoc>";
    RunLauncher(u"/email");
    EXPECT_FALSE(std::filesystem::exists(Host(u"\\VelumexSetup.xml")));
    EXPECT_TRUE(emu::cemapi::FindStore(Device(), u"Caf\u00E9"));

    // UTF-16 after a byte-order mark; a stray last byte is not part of the text.
    std::u16string text =
        u"\uFEFF<wap-provisioningdoc><characteristic type=\"EMAIL2\"><characteristic "
        u"type=\"{B3}\"><parm name=\"SERVICENAME\" value=\"\u0416\"/></characteristic>"
        u"</characteristic></wap-provisioningdoc>";
    {
        std::ofstream out(Host(u"\\VelumexSetup.xml"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(text.data()), text.size() * 2);
        out.put('x');
    }
    RunLauncher(u"/email");
    EXPECT_FALSE(std::filesystem::exists(Host(u"\\VelumexSetup.xml")));
    EXPECT_TRUE(emu::cemapi::FindStore(Device(), u"\u0416"));
}

class OlderLauncherTest : public SetupTest {
protected:
    OlderLauncherTest() : SetupTest(4) {}
};

TEST_F(OlderLauncherTest, AnOlderDeviceDeletesTheProvisioningFileUnread) {
    std::ofstream(Host(u"\\VelumexSetup.xml"))
        << "<wap-provisioningdoc><characteristic type=\"EMAIL2\"><characteristic type=\"{B2}\">"
           "<parm name=\"SERVICENAME\" value=\"Other\"/></characteristic></characteristic>"
           "</wap-provisioningdoc>";
    RunLauncher(u"/email");
    EXPECT_FALSE(std::filesystem::exists(Host(u"\\VelumexSetup.xml")));
    EXPECT_FALSE(emu::cemapi::FindStore(Device(), u"Other"));
}

TEST_F(LauncherTest, TheRemovalIsAddedToTheUninstallFileOnce) {
    std::u16string original =
        u"<wap-provisioningdoc><characteristic type=\"Registry\"></characteristic>"
        u"</wap-provisioningdoc>";
    {
        std::ofstream out(Host(u"\\uninstall.xml"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(original.data()), original.size() * 2);
    }
    SetValue(HKEY_LOCAL_MACHINE, u"Security\\AppInstall\\Quorvane Velumex", u"Uninstall",
             u"\\uninstall.xml");
    RunLauncher(u"/email");
    RunLauncher(u"/email");
    std::u16string removal =
        u"<characteristic type=\"EMAIL2\" cfgnodetype=\"characteristic\"><nocharacteristic "
        u"type=\"{C901BAA6-3A79-4d75-8395-CBF7AD3DDC89}\" cfgnodetype=\"characteristic\">"
        u"</nocharacteristic></characteristic>";
    EXPECT_EQ(ReadUtf16(u"\\uninstall.xml"),
              u"<wap-provisioningdoc><characteristic type=\"Registry\"></characteristic>" +
                  removal + u"</wap-provisioningdoc>");
}

}  // namespace
