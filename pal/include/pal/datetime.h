// Time: system and local time, FILETIME arithmetic, variant dates, counters.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"
