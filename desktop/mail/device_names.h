// Names and paths that come from the device are not trusted: a name the desktop joins to one of
// its folders must stay in that folder, and a path the desktop deletes on the device must lie in
// the device's temporary directory, where the device exported it.
#pragma once

#include <windows.h>

// TRUE when `name` is a bare file name: not empty, at most 259 characters, without "\", "/" or
// ":", and neither "." nor "..".
BOOL IsBareFileName(LPCWSTR name);

// TRUE when `path` names a file directly inside the connected device's temporary directory: the
// directory (without regard to case) followed by a bare file name.
BOOL IsDeviceTempFile(LPCWSTR path);
