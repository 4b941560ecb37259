#include <algorithm>

#include "pal/files.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"

namespace pal::files {

namespace {

std::u16string TempPath() {
    Machine& machine = CurrentMachine();
    if (!machine.IsDesktop()) return u"\\Temp\\";
    std::u16string path = u"C:\\Windows";
    for (auto name : {u"TMP", u"TEMP", u"USERPROFILE"}) {
        auto value = machine.GetEnvironment(name);
        if (value && !value->empty()) {
            path = *value;
            break;
        }
    }
    if (path.back() != u'\\') path += u'\\';
    return path;
}

// Copies `text` with its terminator when it fits; the Windows result either way.
template <class Unit>
DWORD CopyOut(const std::basic_string<Unit>& text, DWORD capacity, Unit* buffer) {
    if (!buffer || capacity <= text.size()) return static_cast<DWORD>(text.size() + 1);
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = Unit{};
    return static_cast<DWORD>(text.size());
}

}  // namespace

}  // namespace pal::files

DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
    return pal::files::CopyOut(pal::Utf16ToCp1252(pal::files::TempPath()), nBufferLength, lpBuffer);
}

DWORD GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer) {
    return pal::files::CopyOut(pal::files::TempPath(), nBufferLength, lpBuffer);
}
