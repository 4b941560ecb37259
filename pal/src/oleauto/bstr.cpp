#include "pal/oleauto.h"

#include <cstdlib>
#include <cstring>

namespace {

// The length prefix sits in the four bytes before the text.
constexpr size_t kPrefix = sizeof(UINT);

UINT* PrefixOf(BSTR text) { return reinterpret_cast<UINT*>(reinterpret_cast<char*>(text) - kPrefix); }

}  // namespace

BSTR SysAllocString(const OLECHAR* psz) {
    if (!psz) return nullptr;
    UINT length = 0;
    while (psz[length]) ++length;
    return SysAllocStringLen(psz, length);
}

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    size_t bytes = static_cast<size_t>(ui) * sizeof(OLECHAR);
    auto* block = static_cast<char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
    if (!block) return nullptr;
    UINT byteLength = static_cast<UINT>(bytes);
    std::memcpy(block, &byteLength, kPrefix);
    auto* text = reinterpret_cast<BSTR>(block + kPrefix);
    if (strIn)
        std::memcpy(text, strIn, bytes);
    else
        std::memset(text, 0, bytes);
    text[ui] = 0;
    return text;
}

void SysFreeString(BSTR bstrString) {
    if (bstrString) std::free(PrefixOf(bstrString));
}

UINT SysStringLen(BSTR pbstr) {
    if (!pbstr) return 0;
    UINT bytes = 0;
    std::memcpy(&bytes, PrefixOf(pbstr), kPrefix);
    return bytes / static_cast<UINT>(sizeof(OLECHAR));
}
