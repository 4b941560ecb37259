// In-process servers: libraries registered under HKEY_CLASSES_ROOT "CLSID\{clsid}\InprocServer32".
#pragma once

#include <string>

#include "pal/com.h"

namespace pal {

// The path the class's InprocServer32 key names in its default value (REG_SZ, taken as it
// stands). REGDB_E_CLASSNOTREG when the key, the value or its text is missing.
HRESULT InprocServerPath(REFCLSID clsid, std::u16string& path);

// The class object of `clsid` from the library at `path`, loaded into the current process once
// and kept until the process ends. CO_E_DLLNOTFOUND when there is no such file, CO_E_ERRORINDLL
// when it cannot be loaded or has no DllGetClassObject, else what DllGetClassObject answers.
HRESULT InprocClassObject(REFCLSID clsid, const std::u16string& path, IClassFactory** factory);

}  // namespace pal
