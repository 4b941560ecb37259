// Text of a desktop message on its way into a packet: the mail client speaks the desktop's ANSI
// code page, packets carry UTF-16.
#pragma once

#include <windows.h>

#include <string>

// `text` (null: empty) converted from the desktop's ANSI code page.
std::u16string AnsiToWide(LPCSTR text);

// An originator or recipient as the device shows it: `"name" <address>` when the name is present,
// not empty and differs from the address (case counts), else the address alone; at most 259
// characters. A missing address counts as empty.
std::u16string FormatMailAddress(LPCSTR name, LPCSTR address);
