// Dialogs: modal dialogs from templates, controls and the dialog driver.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"
