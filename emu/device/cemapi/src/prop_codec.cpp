#include "prop_codec.h"

#include <algorithm>
#include <cstring>

#include "mapi_error.h"

namespace emu::cemapi {

namespace {

template <class T>
std::vector<std::uint8_t> BytesOf(const T& value) {
    std::vector<std::uint8_t> bytes(sizeof(T));
    std::memcpy(bytes.data(), &value, sizeof(T));
    return bytes;
}

template <class T>
T ValueOf(const std::vector<std::uint8_t>& bytes) {
    T value{};
    std::memcpy(&value, bytes.data(), std::min(bytes.size(), sizeof(T)));
    return value;
}

void* More(size_t size, LPVOID block) {
    LPVOID data = nullptr;
    if (MAPIAllocateMore(static_cast<ULONG>(size), block, &data) != S_OK) throw std::bad_alloc();
    return data;
}

void Fill(const StoredProp& prop, LPVOID block, SPropValue& out) {
    out.ulPropTag = prop.tag;
    out.dwAlignPad = 0;
    const auto& bytes = prop.value;
    switch (PROP_TYPE(prop.tag)) {
        case PT_I2:
            out.Value.i = ValueOf<SHORT>(bytes);
            break;
        case PT_LONG:
            out.Value.l = ValueOf<LONG>(bytes);
            break;
        case PT_R4:
            out.Value.flt = ValueOf<float>(bytes);
            break;
        case PT_DOUBLE:
            out.Value.dbl = ValueOf<double>(bytes);
            break;
        case PT_BOOLEAN:
            out.Value.b = ValueOf<USHORT>(bytes);
            break;
        case PT_SYSTIME:
            out.Value.ft = ValueOf<FILETIME>(bytes);
            break;
        case PT_I8:
            out.Value.li = ValueOf<LARGE_INTEGER>(bytes);
            break;
        case PT_STRING8: {
            auto text = static_cast<char*>(More(bytes.size() + 1, block));
            if (!bytes.empty()) std::memcpy(text, bytes.data(), bytes.size());
            text[bytes.size()] = 0;
            out.Value.lpszA = text;
            break;
        }
        case PT_UNICODE: {
            size_t count = bytes.size() / 2;
            auto text = static_cast<WCHAR*>(More((count + 1) * sizeof(WCHAR), block));
            for (size_t i = 0; i < count; ++i)
                text[i] = static_cast<WCHAR>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
            text[count] = 0;
            out.Value.lpszW = text;
            break;
        }
        case PT_BINARY: {
            out.Value.bin.cb = static_cast<ULONG>(bytes.size());
            out.Value.bin.lpb = static_cast<LPBYTE>(More(bytes.size() ? bytes.size() : 1, block));
            if (!bytes.empty()) std::memcpy(out.Value.bin.lpb, bytes.data(), bytes.size());
            break;
        }
        default:
            out.ulPropTag = CHANGE_PROP_TYPE(prop.tag, PT_ERROR);
            out.Value.err = MAPI_E_NOT_FOUND;
    }
}

const StoredProp* Lookup(const std::vector<StoredProp>& available, ULONG tag) {
    for (const auto& prop : available)
        if (PROP_ID(prop.tag) == PROP_ID(tag)) {
            ULONG wanted = PROP_TYPE(tag);
            return wanted == PT_UNSPECIFIED || wanted == PROP_TYPE(prop.tag) ? &prop : nullptr;
        }
    return nullptr;
}

}  // namespace

StoredProp FromPropValue(const SPropValue& value) {
    ULONG tag = value.ulPropTag;
    switch (PROP_TYPE(tag)) {
        case PT_I2:
            return StoredProp{tag, BytesOf(value.Value.i)};
        case PT_LONG:
            return StoredProp{tag, BytesOf(value.Value.l)};
        case PT_R4:
            return StoredProp{tag, BytesOf(value.Value.flt)};
        case PT_DOUBLE:
            return StoredProp{tag, BytesOf(value.Value.dbl)};
        case PT_BOOLEAN:
            return StoredProp{tag, BytesOf(static_cast<USHORT>(value.Value.b ? 1 : 0))};
        case PT_SYSTIME:
            return StoredProp{tag, BytesOf(value.Value.ft)};
        case PT_I8:
            return StoredProp{tag, BytesOf(value.Value.li)};
        case PT_STRING8: {
            if (!value.Value.lpszA) throw MapiError(MAPI_E_INVALID_PARAMETER);
            const char* text = value.Value.lpszA;
            return StoredProp{tag, std::vector<std::uint8_t>(text, text + std::strlen(text))};
        }
        case PT_UNICODE: {
            if (!value.Value.lpszW) throw MapiError(MAPI_E_INVALID_PARAMETER);
            return TextProp(tag, std::u16string(value.Value.lpszW));
        }
        case PT_BINARY: {
            const SBinary& bin = value.Value.bin;
            if (bin.cb && !bin.lpb) throw MapiError(MAPI_E_INVALID_PARAMETER);
            return StoredProp{tag, bin.cb ? std::vector<std::uint8_t>(bin.lpb, bin.lpb + bin.cb)
                                          : std::vector<std::uint8_t>{}};
        }
        default:
            throw MapiError(MAPI_E_INVALID_TYPE);
    }
}

ULONG SelectedCount(const std::vector<StoredProp>& available, const SPropTagArray* tags) {
    return tags ? tags->cValues : static_cast<ULONG>(available.size());
}

SPropValue* AllocateValues(ULONG count) {
    LPVOID block = nullptr;
    if (MAPIAllocateBuffer(static_cast<ULONG>(sizeof(SPropValue) * (count ? count : 1)), &block) !=
        S_OK)
        throw std::bad_alloc();
    return static_cast<SPropValue*>(block);
}

bool SelectProps(const std::vector<StoredProp>& available, const SPropTagArray* tags, LPVOID block,
                 SPropValue* out) {
    if (!tags) {
        for (size_t i = 0; i < available.size(); ++i) Fill(available[i], block, out[i]);
        return false;
    }
    bool errors = false;
    for (ULONG i = 0; i < tags->cValues; ++i) {
        ULONG tag = tags->aulPropTag[i];
        if (const StoredProp* prop = Lookup(available, tag)) {
            Fill(*prop, block, out[i]);
        } else {
            out[i].ulPropTag = CHANGE_PROP_TYPE(tag, PT_ERROR);
            out[i].dwAlignPad = 0;
            out[i].Value.err = MAPI_E_NOT_FOUND;
            errors = true;
        }
    }
    return errors;
}

}  // namespace emu::cemapi
