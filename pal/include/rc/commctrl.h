/* Resource scripts include <commctrl.h>; in the resource build it is the constants header. */
#include "velumex_rc.h"
