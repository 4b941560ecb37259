#include <gtest/gtest.h>

#include "emu/cemapi/message_stores.h"
#include "setup_fixture.h"

namespace {

constexpr char16_t kAccount[] = u"{C901BAA6-3A79-4d75-8395-CBF7AD3DDC89}";

class PackageTest : public SetupTest {
protected:
    explicit PackageTest(DWORD osMajor = 5) : SetupTest(osMajor) {}

    emu::packages::Package Package() {
        return velumex_setup::VelumexPackage(VELUMEX_MODULE_DIR);
    }
    void Install(std::chrono::milliseconds box = std::chrono::milliseconds(200)) {
        emu::packages::Install(Device(), Package(), {box});
        WaitForLauncher();
    }
    bool HasAccount() {
        for (const auto& account : emu::configmgr::ListAccounts(Device()))
            if (account.id == kAccount) return true;
        return false;
    }
};

TEST_F(PackageTest, InstallationProvisionsTheAccountAndStartsTheService) {
    // The installer's closing box waits longer than the launcher's first wait: the launcher
    // presses OK on it.
    auto started = std::chrono::steady_clock::now();
    Install(std::chrono::milliseconds(90000));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));

    EXPECT_TRUE(HasAccount());
    EXPECT_TRUE(emu::cemapi::FindStore(Device(), u"Outlook Express"));
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Inbox\\Svc\\Kestrin",
                       u"FriendlyName"),
              u"Outlook Express");
    EXPECT_TRUE(ServiceRunning());
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, u"Software\\Quorvane\\Velumex"));
    EXPECT_TRUE(emu::packages::IsInstalled(Device(), velumex_setup::kPackageName));
    std::u16string uninstall = ReadUtf16(GetValue(
        HKEY_LOCAL_MACHINE, u"Security\\AppInstall\\Quorvane Velumex", u"Uninstall"));
    EXPECT_NE(uninstall.find(u"<nocharacteristic type=\"{C901BAA6"), std::u16string::npos);
}

TEST_F(PackageTest, RemovalStopsTheServiceAndTakesTheAccountAndJournalsAway) {
    Install();
    ASSERT_TRUE(ServiceRunning());
    ASSERT_TRUE(std::filesystem::exists(Host(u"\\kestrin.vol")));

    emu::packages::Remove(Device(), Package());
    EXPECT_FALSE(ServiceRunning());
    EXPECT_FALSE(HasAccount());
    EXPECT_FALSE(std::filesystem::exists(Host(u"\\kestrin.vol")));
    EXPECT_FALSE(std::filesystem::exists(Host(u"\\Windows\\KTnotif.dll")));
    EXPECT_FALSE(std::filesystem::exists(Host(velumex_setup::kLauncherPath)));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"Software\\Quorvane\\Velumex"));
    EXPECT_FALSE(emu::packages::IsInstalled(Device(), velumex_setup::kPackageName));
    EXPECT_THROW(emu::packages::Remove(Device(), Package()), emu::packages::PackageError);
}

class OlderPackageTest : public PackageTest {
protected:
    OlderPackageTest() : PackageTest(4) {}
};

TEST_F(OlderPackageTest, OnAnOlderDeviceTheSetupLibraryRemovesTheAccount) {
    Install();
    ASSERT_TRUE(HasAccount());
    emu::packages::Remove(Device(), Package());
    EXPECT_FALSE(HasAccount());
    EXPECT_FALSE(ServiceRunning());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"Software\\Quorvane\\Velumex"));
}

TEST_F(PackageTest, TheLauncherIsFoundInTheInstallationFolderWhenProgramFilesLacksIt) {
    auto package = Package();
    package.installDir = u"\\Storage Card\\Velumex";
    package.files[3].target = u"\\Storage Card\\Velumex\\KTstart.exe";
    emu::packages::Install(Device(), package, {std::chrono::milliseconds(200)});
    WaitForLauncher(u"\\Storage Card\\Velumex\\KTstart.exe");
    EXPECT_TRUE(HasAccount());
    EXPECT_TRUE(ServiceRunning());
}

}  // namespace
