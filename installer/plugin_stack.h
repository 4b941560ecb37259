// The installer's string stack and user variables as the exports see them: each export records
// the block it was handed, then pops its arguments and sets $R0 through these helpers.
#pragma once

#include <installer_plugin.h>

#include <vector>

// Remembers the installer's variable block and stack for the helpers below.
void BindInstaller(int stringSize, char* variables, stack_t** stacktop);

// A zero-filled buffer of one variable's size, for a popped argument.
std::vector<char> ArgumentBuffer();

// Copies the top entry's text into `buffer` (at most buffer.size() - 1 characters, always
// terminated), unlinks the entry and frees it with GlobalFree. Returns 1 and leaves the buffer as
// it was when the stack is empty or not bound, else 0.
int Pop(std::vector<char>& buffer);

// Copies `text` into variable slot `index`, truncated to the slot's string_size characters
// (terminator included); a null text or an index past the last slot changes nothing.
void SetVariable(int index, const char* text);
