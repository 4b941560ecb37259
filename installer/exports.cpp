// The plug-in's exports. Each records the installer's variables and stack, pops its arguments
// and always writes its answer to $R0.
#include <ceutil.h>
#include <installer_plugin.h>
#include <rapi.h>

#include <vector>

#include "device_copy.h"
#include "device_profile.h"
#include "plugin_stack.h"
#include "rapi_session.h"

namespace {

void SetResultNumber(DWORD value) {
    char text[16];
    wsprintfA(text, "%d", static_cast<int>(value));
    SetVariable(INST_R0, text);
}

}  // namespace

PAL_EXPORT void IsConnection(HWND, int string_size, char* variables, stack_t** stacktop) {
    BindInstaller(string_size, variables, stacktop);
    SetResultNumber(CeGetDeviceId());
}

PAL_EXPORT void IsDevConnected(HWND, int string_size, char* variables, stack_t** stacktop) {
    BindInstaller(string_size, variables, stacktop);
    std::vector<char> expected = ArgumentBuffer();
    Pop(expected);
    char deviceType[PROFILE_VALUE_SIZE];
    DWORD id = 0;
    HRESULT result = ReadDeviceProfileString("DeviceType", deviceType, &id);
    if (SUCCEEDED(result) && lstrcmpiA(deviceType, expected.data()) != 0) result = E_FAIL;
    SetResultNumber(SUCCEEDED(result) ? id : 0);
}

PAL_EXPORT void GetDevStringValue(HWND, int string_size, char* variables, stack_t** stacktop) {
    BindInstaller(string_size, variables, stacktop);
    std::vector<char> name = ArgumentBuffer();
    Pop(name);
    char value[PROFILE_VALUE_SIZE];
    ReadDeviceProfileString(name.data(), value, nullptr);
    SetVariable(INST_R0, value);
}

PAL_EXPORT void DeviceGetVersion(HWND, int string_size, char* variables, stack_t** stacktop) {
    BindInstaller(string_size, variables, stacktop);
    DWORD major = 0;
    {
        CRapiSession session;
        CEOSVERSIONINFO version = {};
        version.dwOSVersionInfoSize = 276;
        if (session.IsUp() && CeGetVersionEx(&version)) major = version.dwMajorVersion;
    }
    SetResultNumber(major);
}

PAL_EXPORT void CopyFileToDevice(HWND, int string_size, char* variables, stack_t** stacktop) {
    BindInstaller(string_size, variables, stacktop);
    std::vector<char> devicePath = ArgumentBuffer();
    std::vector<char> localPath = ArgumentBuffer();
    Pop(devicePath);
    Pop(localPath);
    // A device path that does not convert whole is never handed to the device.
    WCHAR wideDevicePath[MAX_PATH] = {};
    int converted = MultiByteToWideChar(CP_ACP, 0, devicePath.data(), -1, wideDevicePath, MAX_PATH);
    BOOL copied = FALSE;
    if (converted > 1) {
        CRapiSession session;
        if (session.IsUp()) copied = CopyFileToDeviceFile(localPath.data(), wideDevicePath);
    }
    SetVariable(INST_R0, copied ? "1" : "0");
}
