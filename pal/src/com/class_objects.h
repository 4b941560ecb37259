// Class objects registered on a machine through pal/runtime/com_registry.h.
#pragma once

#include "pal/com.h"

namespace pal {

class Machine;

// The class object registered for `clsid` on `machine`, with a reference for the caller, or null.
IClassFactory* FindClassObject(Machine& machine, REFCLSID clsid);

}  // namespace pal
