#include "ansi.h"

#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/text.h"

namespace pal::text {

namespace {

UINT MachineCodePage() {
    Machine* machine = TryCurrentMachine();
    return machine ? machine->Config().codePage : 1252;
}

}  // namespace

std::optional<Charset> ResolveCodePage(UINT codePage) {
    if (codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_THREAD_ACP)
        codePage = MachineCodePage();
    if (codePage == 1252) return Charset::Cp1252;
    if (codePage == CP_UTF8) return Charset::Utf8;
    return std::nullopt;
}

std::u16string AnsiToWide(std::string_view text) {
    return ResolveCodePage(CP_ACP) == Charset::Utf8 ? Utf8ToUtf16(text) : Cp1252ToUtf16(text);
}

std::string WideToAnsi(std::u16string_view text) {
    return ResolveCodePage(CP_ACP) == Charset::Utf8 ? Utf16ToUtf8(text) : Utf16ToCp1252(text);
}

}  // namespace pal::text
