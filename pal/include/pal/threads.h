// Threads: creation, ids, exit codes, sleep, TLS, critical sections, interlocked operations.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"
