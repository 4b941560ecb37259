// Registry: hives of the current machine, keys and values.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"
