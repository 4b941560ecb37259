// Window text in the caller's form: ANSI (code page 1252) for the A calls, UTF-16 for the W calls,
// and the conversion of text-carrying messages between a caller and a procedure of the other form.
#pragma once

#include <string>

#include "pal/windowing.h"

namespace pal::windowing {

// The text at `text` (char for ANSI, char16_t for UTF-16); empty for null or for an ordinal (a
// value below 0x10000 standing in for a name).
std::u16string WideFromCaller(const void* text, bool unicode);
// Copies `text` into a caller's buffer of `capacity` characters, truncated to leave room for the
// terminator; returns the characters copied (0 when there is no room at all).
size_t CopyToCaller(std::u16string_view text, void* buffer, size_t capacity, bool unicode);
// Calls `proc`, converting the strings of WM_NCCREATE, WM_CREATE, WM_SETTEXT and WM_GETTEXT when
// the caller's form differs from the procedure's.
LRESULT Invoke(WNDPROC proc, bool procUnicode, HWND window, UINT message, WPARAM wParam,
               LPARAM lParam, bool callerUnicode);

}  // namespace pal::windowing
