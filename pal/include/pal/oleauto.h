// Automation strings (BSTR): UTF-16 text with its byte length stored just before the first
// character and a terminator after the last, owned by whoever holds the pointer.
#pragma once

#include "pal/types.h"

// A new string holding a copy of `psz` up to its terminator; null for a null `psz` or when
// memory runs out.
BSTR SysAllocString(const OLECHAR* psz);
// A new string of `ui` characters copied from `strIn` (or zeroed when `strIn` is null).
BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui);
// Frees a string made by the calls above; null is allowed.
void SysFreeString(BSTR bstrString);
// The string's length in characters (terminator excluded); 0 for null.
UINT SysStringLen(BSTR pbstr);
