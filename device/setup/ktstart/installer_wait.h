// Waiting for the device's package installer to finish.
#pragma once

#include <windows.h>

// Waits until "wceload.exe" has exited, answering the installer's final message box ("Dialog"
// window of that process) with IDOK every 15 seconds. TRUE at once when it is not running;
// FALSE only when the process list cannot be read.
BOOL WaitForInstaller();
