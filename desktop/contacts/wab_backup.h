// Copies of the user's address-book file, made beside it before contacts are synchronized:
// "VelumexBackup.DDMMYYYY_HHMMSS_NNN.bak", at most HKLM "Software\Quorvane\Velumex" "MaxBackups"
// of them (8 when unset, 0: none).
#pragma once

#include <windows.h>

// Deletes the oldest backup when the limit is reached and the copy succeeded, then keeps the
// new copy. Silent: every failure leaves things as they were.
void BackUpAddressBook(LPCSTR bookPath);
