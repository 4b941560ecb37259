// Text: string helpers, code-page conversion, formatting.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"
