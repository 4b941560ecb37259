// Files the desktop places in the connected device's temporary directory, written over the
// remote file calls in pieces no larger than one remote write carries.
#pragma once

#include <rapi.h>
#include <windows.h>

// Largest piece one remote write or read carries.
constexpr DWORD DEVICE_WRITE_PIECE = 65472;

// The remote write call, CeWriteFile's shape; a caller may pass another to watch the pieces.
using DeviceWriteCall = BOOL (*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);

// Writes `size` bytes to the open device file in order, in pieces of at most DEVICE_WRITE_PIECE
// bytes. TRUE when every piece was written whole; the first failed or short write stops it.
BOOL WriteDevicePieces(HANDLE file, const BYTE* data, DWORD size,
                       DeviceWriteCall write = CeWriteFile);

// Creates (or replaces) the device file `path` with write access and no sharing, writes `size`
// bytes in pieces and closes it. TRUE when the file was created and written whole.
BOOL WriteDeviceFile(LPCWSTR path, const BYTE* data, DWORD size);

// The device's temporary directory joined with `name` into `path` (MAX_PATH characters). FALSE
// when the device answers no temporary directory or the path would not fit.
BOOL DeviceTempFilePath(LPCWSTR name, LPWSTR path);

// Writes the first `length` bytes of the ANSI `text`, converted to UTF-16 with a terminating
// zero, to the device file named `messageId` in the device's temporary directory: a message body
// as the device loads it. Returns the bytes written, 0 on failure.
DWORD WriteBodyFile(LPCSTR messageId, LPCSTR text, DWORD length);

// Copies the device file `devicePath` to the desktop file `desktopPath` (created or replaced),
// reading in pieces of at most DEVICE_WRITE_PIECE bytes. Returns the bytes copied when every
// read and write succeeded and the file was not empty, else 0 (a partial copy is deleted).
DWORD CopyFromDevice(LPCWSTR devicePath, LPCSTR desktopPath);
