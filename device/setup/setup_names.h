// Names the launcher and the setup library share with the rest of the device side.
#pragma once

#include <windows.h>

// The mail account's identifier; the same GUID ends the names of the journal locks.
#define ACCOUNT_GUID W("{C901BAA6-3A79-4d75-8395-CBF7AD3DDC89}")
// The notification service's device name and registry key name.
#define SERVICE_DEVICE_NAME W("KTN0:")
#define SERVICE_KEY_NAME W("KTNotif")
