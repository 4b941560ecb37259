// Kernel synchronisation objects: mutexes, events and waits.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"
