// Message boxes recorded on the machine, answered by a driver.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"
