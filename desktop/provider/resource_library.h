// The resource-only library "Trellium_res.dll" beside the provider, from which every
// user-visible text and dialog template is loaded, and the message box that shows those texts.
#pragma once

#include <windows.h>

// Caption and style of every error message of the provider.
#define PROVIDER_CAPTION "Velumex"
#define PROVIDER_ERROR_STYLE MB_ICONHAND

// The provider library itself (the executable when the provider code is linked into it).
HMODULE ProviderModule();
// Loads the library from the provider's folder and keeps its handle module-wide, replacing (and
// releasing) any handle held before. A library that cannot be loaded leaves the handle null.
void LoadResourceLibrary();
// Releases the library and clears the handle.
void FreeResourceLibrary();
// The library's handle, or null.
HMODULE ResourceLibrary();

// A string of the library in the ANSI code page; FALSE with an empty buffer when it is missing.
BOOL LoadResourceText(UINT id, LPSTR buffer, int size);

// Shows a message box. Text and caption are text or string ids of the library (MAKEINTRESOURCEA);
// a missing string gives no text, and a caption without text falls back to the text.
int ResourceMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
