// The launcher: after installation ("/email") it provisions the mail account; every run makes
// sure the notification service is up.
#include <cedb.h>
#include <service.h>
#include <windows.h>

#include "../setup_names.h"
#include "account_provision.h"
#include "installer_wait.h"
#include "provisioning_file.h"
#include "uninstall_registration.h"

namespace {

void EnsureServiceRunning() {
    WCHAR deviceName[] = SERVICE_DEVICE_NAME;
    HANDLE service = GetServiceHandle(deviceName, nullptr, nullptr);
    if (service == nullptr || service == INVALID_HANDLE_VALUE)
        ActivateService(SERVICE_KEY_NAME, 0);
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR lpCmdLine, int) {
    if (lpCmdLine && _wcsicmp(lpCmdLine, W("/email")) == 0 && WaitForInstaller()) {
        CreateAccount(hInstance);
        ApplyProvisioningFile();
        RegisterAccountRemoval(hInstance);
        RegFlushKey(HKEY_LOCAL_MACHINE);
        CeFlushDBVol(nullptr);
    }
    EnsureServiceRunning();
    return 0;
}
