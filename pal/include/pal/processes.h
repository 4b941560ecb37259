// Processes: creation of program modules, opening, Toolhelp snapshots.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"
