// Resources: embedded resource data, strings, icons, bitmaps, image lists.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"
