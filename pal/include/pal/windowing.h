// Windows and messages: classes, windows, queues, sending and posting.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"
