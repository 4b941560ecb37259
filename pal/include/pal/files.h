// Files: the current machine's file system through Windows paths.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"
