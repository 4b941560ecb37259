// The code pages the text family converts: the current machine's ANSI code page and UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "pal/types.h"

namespace pal::text {

enum class Charset { Cp1252, Utf8 };

// The charset a code-page argument stands for: CP_ACP, CP_OEMCP and CP_THREAD_ACP are the
// current machine's code page (1252 when the thread has no machine); nothing when unsupported.
std::optional<Charset> ResolveCodePage(UINT codePage);

// ANSI (current machine's code page) ⟷ UTF-16; unrepresentable units become '?'.
std::u16string AnsiToWide(std::string_view text);
std::string WideToAnsi(std::u16string_view text);

}  // namespace pal::text
