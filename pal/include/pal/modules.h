// Modules: loading libraries by Windows path, exports, DllMain.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"
