// Where the launcher is installed.
#pragma once

#include <windows.h>

// The Program Files folder joined with "Velumex\KTstart.exe" into `path` (MAX_PATH characters).
// When the Program Files folder cannot be had, or the launcher is not there, the package's
// installation directory (when given) is used instead. FALSE when no path fits.
BOOL LauncherPath(LPCWSTR installDirectory, LPWSTR path);

// Joins folder and tail with one backslash between them into `path` (MAX_PATH characters);
// FALSE when the result does not fit.
BOOL JoinPath(LPCWSTR folder, LPCWSTR tail, LPWSTR path);
