#include "plugin_stack.h"

#include <cstring>

namespace {

int g_stringSize = 0;
char* g_variables = nullptr;
stack_t** g_stacktop = nullptr;

}  // namespace

void BindInstaller(int stringSize, char* variables, stack_t** stacktop) {
    g_stringSize = stringSize;
    g_variables = variables;
    g_stacktop = stacktop;
}

std::vector<char> ArgumentBuffer() {
    return std::vector<char>(g_stringSize > 0 ? static_cast<size_t>(g_stringSize) : 1, '\0');
}

int Pop(std::vector<char>& buffer) {
    if (!g_stacktop || !*g_stacktop || buffer.empty()) return 1;
    stack_t* top = *g_stacktop;
    // An entry holds at most string_size characters; never read past them.
    size_t limit = buffer.size() - 1;
    if (g_stringSize > 0 && limit > static_cast<size_t>(g_stringSize))
        limit = static_cast<size_t>(g_stringSize);
    size_t length = strnlen(top->text, limit);
    std::memcpy(buffer.data(), top->text, length);
    buffer[length] = '\0';
    *g_stacktop = top->next;
    GlobalFree(top);
    return 0;
}

void SetVariable(int index, const char* text) {
    if (!text || !g_variables || index < 0 || index >= INST_VARIABLE_COUNT || g_stringSize <= 0)
        return;
    char* slot = g_variables + static_cast<size_t>(index) * static_cast<size_t>(g_stringSize);
    size_t length = strnlen(text, static_cast<size_t>(g_stringSize) - 1);
    std::memcpy(slot, text, length);
    slot[length] = '\0';
}
