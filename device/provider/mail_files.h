// Files exchanged with the desktop in the device's temporary directory: bodies and attachments
// the desktop placed there for a message, and attachments exported for the desktop.
#pragma once

#include <windows.h>

#include <string>

// The temporary directory joined with `name` (a "\" inserted when the directory lacks one).
// Only a bare file name is accepted: non-empty, at most 259 characters, without "\", "/" or
// ":", and neither "." nor ".."; anything else, or a path longer than MAX_PATH - 1 characters,
// gives false, so that a name from a packet can never reach outside the directory.
bool TempFilePath(LPCWSTR name, std::u16string& path);

// Writes the whole file `name` of the temporary directory into `stream` through a read-only
// mapping, then deletes the file. E_FAIL, with the stream left as it was, when the name is not a
// bare name or the file cannot be opened; the stream's write failure otherwise.
HRESULT LoadTempFile(LPCWSTR name, IStream* stream);

// Creates (always) the file `name` in the temporary directory and copies `stream` into it in
// pieces of 1,024 bytes until a piece comes back short; its full path goes to `path`. On any
// failure the partial file is deleted: E_FAIL for a name that is not a bare name or a path too
// long for an attachment record, the platform's error otherwise.
HRESULT ExportToTempFile(IStream* stream, LPCWSTR name, std::u16string& path);
