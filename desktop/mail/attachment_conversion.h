// Attachment files crossing between desktop and device pass through the file-conversion filters
// the partnership has registered per extension and direction.
#pragma once

#include <replication.h>
#include <windows.h>

#include <string>
#include <vector>

// Direction of a conversion: towards the device ("import") or towards the desktop ("export").
enum ConversionDirection { CONVERT_EXPORT = 0, CONVERT_IMPORT = 1 };

// Converts the desktop file `path` in `direction` with the partnership's filter. Fills `outputs`
// with the files to use (the converted outputs, or `path` itself when no conversion applies) and
// returns their number; 0 is failure. The caller owns every listed file and deletes them with
// DeleteOutputs. A file lying where its converted form would go (no new extension, in the
// temporary folder) is converted into a folder of its own there, keeping the converted name.
UINT Convert(IReplNotify* notify, LPCSTR path, ConversionDirection direction,
             std::vector<std::string>& outputs);

// Deletes the files Convert listed, and the folder made for them when one was.
void DeleteOutputs(const std::vector<std::string>& outputs);

// Converts `desktopPath` towards the device and copies the (first) result into the device's
// temporary directory; `devicePath` (MAX_PATH characters) receives the device file's path and
// `recordName` (MAX_PATH characters) the name and extension it was delivered under. `taken`, when
// given, lists the device names the message's other files took: a name among them gets "(2)",
// "(3)", … before its extension, and the name chosen is added. A name too long for the device
// path is cut before its extension. Every listed desktop file is deleted afterwards. Returns the
// delivered size, 0 on failure (an empty file always fails).
DWORD ConvertToDevice(IReplNotify* notify, LPCSTR desktopPath, LPWSTR devicePath,
                      LPWSTR recordName, std::vector<std::u16string>* taken = nullptr);
