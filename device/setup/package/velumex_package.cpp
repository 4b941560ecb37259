#include "velumex_package.h"

namespace velumex_setup {

emu::packages::Package VelumexPackage(const std::filesystem::path& moduleDir) {
    emu::packages::Package package;
    package.name = kPackageName;
    package.installDir = u"\\Program Files\\Velumex";
    package.setupLibrary = u"\\Program Files\\Velumex\\KTsetup.dll";
    package.files = {
        {moduleDir / "Kestrin.so", u"\\Windows\\Kestrin.dll", true},
        {moduleDir / "KTnotif.so", u"\\Windows\\KTnotif.dll", true},
        {moduleDir / "KTtrans.so", u"\\Windows\\KTtrans.dll", true},
        {moduleDir / "KTstart.so", kLauncherPath, false},
        {moduleDir / "KTsetup.so", package.setupLibrary, false},
    };
    // The device's settings key, whose "ID" the desktop store fills in on its first start.
    package.values = {{u"HKCU", u"Software\\Quorvane\\Velumex", u"ID", REG_DWORD, {0, 0, 0, 0}}};
    return package;
}

}  // namespace velumex_setup
