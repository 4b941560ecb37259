#include "resource_library.h"

#include <atomic>
#include <cstring>

namespace {

std::atomic<HMODULE> g_resourceLibrary{nullptr};

const char kResourceLibraryName[] = "Trellium_res.dll";

}  // namespace

HMODULE ProviderModule() {
    // This library as loaded in the calling process (null when the code is part of the program).
    return GetModuleHandleA("Trellium.dll");
}

void LoadResourceLibrary() {
    char path[MAX_PATH] = {};
    // Full path of the provider (or of the program that contains it).
    DWORD length = GetModuleFileNameA(ProviderModule(), path, MAX_PATH);
    HMODULE library = nullptr;
    if (length > 0 && length < MAX_PATH) {
        char* slash = std::strrchr(path, '\\');
        size_t folder = slash ? static_cast<size_t>(slash - path) + 1 : 0;
        if (folder + sizeof kResourceLibraryName <= MAX_PATH) {
            std::memcpy(path + folder, kResourceLibraryName, sizeof kResourceLibraryName);
            // Maps the library from that exact path.
            library = LoadLibraryA(path);
        }
    }
    HMODULE previous = g_resourceLibrary.exchange(library);
    // Each load holds one reference; the one replaced is given back.
    if (previous) FreeLibrary(previous);
}

void FreeResourceLibrary() {
    HMODULE library = g_resourceLibrary.exchange(nullptr);
    if (library) FreeLibrary(library);
}

HMODULE ResourceLibrary() { return g_resourceLibrary.load(); }

BOOL LoadResourceText(UINT id, LPSTR buffer, int size) {
    if (size <= 0) return FALSE;
    buffer[0] = '\0';
    HMODULE library = ResourceLibrary();
    if (!library) return FALSE;
    WCHAR text[1024];
    // The string in UTF-16 as the string table holds it; 0 when there is none.
    int length = static_cast<int>(LoadStringW(library, id, text, 1024));
    if (length <= 0) return FALSE;
    // The desktop works in the ANSI code page.
    int written = WideCharToMultiByte(CP_ACP, 0, text, length, buffer, size - 1, nullptr, nullptr);
    if (written <= 0) {
        buffer[0] = '\0';
        return FALSE;
    }
    buffer[written] = '\0';
    return TRUE;
}

int ResourceMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    char textBuffer[1024] = {};
    char captionBuffer[256] = {};
    if (text && IS_INTRESOURCE(text)) {
        LoadResourceText(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(text)), textBuffer,
                         sizeof textBuffer);
        text = textBuffer;
    }
    if (caption && IS_INTRESOURCE(caption)) {
        caption = LoadResourceText(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(caption)),
                                   captionBuffer, sizeof captionBuffer)
                      ? captionBuffer
                      : text;
    }
    // Modal box owned by `owner`; answers the button chosen.
    return MessageBoxA(owner, text, caption, style);
}
