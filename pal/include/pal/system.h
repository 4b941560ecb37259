// System information: OS version, locale information, debug output.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"
