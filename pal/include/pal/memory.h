// Memory: local, global, process-heap and COM task allocators.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"
