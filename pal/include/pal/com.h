// COM core: IUnknown, class factories, GUID text, CoCreateInstance.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"
