// The desktop installer's plug-in calling convention: every export of a plug-in library takes the
// parent window, the size in characters of one user variable, the block of user variables and a
// pointer to the top of the installer's string stack. Arguments are popped off the stack; results
// go into user variables. All text is ANSI.
#pragma once

#include <windows.h>

// One entry of the installer's string stack, allocated with GlobalAlloc as the node followed by
// string_size characters of text.
struct stack_t {
    stack_t* next;
    char text[1];
};

// The user variables: 25 slots of string_size characters each.
#define INST_VARIABLE_COUNT 25
// $R0, the slot that carries a plug-in call's result.
#define INST_R0 10

using PluginFunction = void (*)(HWND hwndParent, int string_size, char* variables,
                                stack_t** stacktop);
