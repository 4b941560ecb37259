// Class objects that emulated products register on a machine, the way a local server or a
// product's own process registers its classes on Windows: CoCreateInstance in any process of the
// machine finds them before it looks at the registry, and no library file is involved. An
// emulator registers its classes when it is set up on a machine (for example the device's contacts
// application, or the desktop mail client's store namespace) and may revoke them again.
#pragma once

#include "pal/com.h"

namespace pal {

class Machine;

// Makes `factory` the class object of `clsid` on `machine`, replacing any earlier one. The
// machine holds a reference (AddRef) until the class is revoked or the machine shuts down.
void RegisterClassObject(Machine& machine, REFCLSID clsid, IClassFactory* factory);
// Releases the registration of `clsid`; false when there was none.
bool RevokeClassObject(Machine& machine, REFCLSID clsid);

}  // namespace pal
