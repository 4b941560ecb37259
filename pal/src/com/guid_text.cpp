#include "pal/com.h"

namespace {

constexpr int kGuidTextLength = 38;  // without terminator

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Reads `digits` hex digits at `text[pos]`; false on anything else.
bool ReadHex(LPCOLESTR text, int pos, int digits, DWORD& value) {
    value = 0;
    for (int i = 0; i < digits; ++i) {
        int digit = HexValue(text[pos + i]);
        if (digit < 0) return false;
        value = (value << 4) | static_cast<DWORD>(digit);
    }
    return true;
}

bool ParseGuid(LPCOLESTR text, GUID& guid) {
    for (int i = 0; i < kGuidTextLength; ++i)
        if (text[i] == 0) return false;
    if (text[kGuidTextLength] != 0 || text[0] != u'{' || text[37] != u'}' || text[9] != u'-' ||
        text[14] != u'-' || text[19] != u'-' || text[24] != u'-')
        return false;
    DWORD part = 0;
    if (!ReadHex(text, 1, 8, guid.Data1)) return false;
    if (!ReadHex(text, 10, 4, part)) return false;
    guid.Data2 = static_cast<WORD>(part);
    if (!ReadHex(text, 15, 4, part)) return false;
    guid.Data3 = static_cast<WORD>(part);
    const int bytePositions[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(text, bytePositions[i], 2, part)) return false;
        guid.Data4[i] = static_cast<BYTE>(part);
    }
    return true;
}

void AppendHex(LPOLESTR& out, DWORD value, int digits) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        *out++ = kDigits[(value >> shift) & 0xF];
}

}  // namespace

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
    if (!pclsid) return E_INVALIDARG;
    *pclsid = GUID{};
    if (!lpsz) return S_OK;
    GUID parsed{};
    if (!ParseGuid(lpsz, parsed)) return CO_E_CLASSSTRING;
    *pclsid = parsed;
    return S_OK;
}

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    if (!lpsz || cchMax < kGuidTextLength + 1) return 0;
    LPOLESTR out = lpsz;
    *out++ = u'{';
    AppendHex(out, rguid.Data1, 8);
    *out++ = u'-';
    AppendHex(out, rguid.Data2, 4);
    *out++ = u'-';
    AppendHex(out, rguid.Data3, 4);
    *out++ = u'-';
    for (int i = 0; i < 8; ++i) {
        if (i == 2) *out++ = u'-';
        AppendHex(out, rguid.Data4[i], 2);
    }
    *out++ = u'}';
    *out = 0;
    return kGuidTextLength + 1;
}
