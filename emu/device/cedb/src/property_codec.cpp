#include "property_codec.h"

#include <cstring>

#include "cedb_error.h"

namespace emu::cedb {

namespace {

constexpr std::size_t kAlignment = 8;

std::size_t Align(std::size_t size) { return (size + kAlignment - 1) / kAlignment * kAlignment; }

void PutLe(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint64_t GetLe(std::span<const std::uint8_t> data, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes && i < static_cast<int>(data.size()); ++i)
        value |= static_cast<std::uint64_t>(data[i]) << (8 * i);
    return value;
}

}  // namespace

bool IsKnownType(WORD type) {
    switch (type) {
        case CEVT_I2:
        case CEVT_UI2:
        case CEVT_I4:
        case CEVT_UI4:
        case CEVT_BOOL:
        case CEVT_R8:
        case CEVT_FILETIME:
        case CEVT_LPWSTR:
        case CEVT_BLOB:
            return true;
        default:
            return false;
    }
}

StoredValue Encode(const CEPROPVAL& value) {
    StoredValue stored;
    stored.propid = value.propid;
    auto& data = stored.data;
    switch (TypeFromPropID(value.propid)) {
        case CEVT_I2:
            PutLe(data, static_cast<std::uint16_t>(value.val.iVal), 2);
            stored.key = std::int64_t{value.val.iVal};
            break;
        case CEVT_UI2:
            PutLe(data, value.val.uiVal, 2);
            stored.key = std::int64_t{value.val.uiVal};
            break;
        case CEVT_I4:
            PutLe(data, static_cast<std::uint32_t>(value.val.lVal), 4);
            stored.key = std::int64_t{value.val.lVal};
            break;
        case CEVT_UI4:
            PutLe(data, value.val.ulVal, 4);
            stored.key = std::int64_t{value.val.ulVal};
            break;
        case CEVT_BOOL:
            PutLe(data, static_cast<std::uint32_t>(value.val.boolVal), 4);
            stored.key = std::int64_t{value.val.boolVal};
            break;
        case CEVT_R8: {
            std::uint64_t bits;
            std::memcpy(&bits, &value.val.dblVal, sizeof bits);
            PutLe(data, bits, 8);
            stored.key = value.val.dblVal;
            break;
        }
        case CEVT_FILETIME: {
            std::uint64_t time =
                (static_cast<std::uint64_t>(value.val.filetime.dwHighDateTime) << 32) |
                value.val.filetime.dwLowDateTime;
            PutLe(data, time, 8);
            // Flipping the top bit keeps unsigned order in a signed key.
            stored.key = static_cast<std::int64_t>(time ^ (std::uint64_t{1} << 63));
            break;
        }
        case CEVT_LPWSTR: {
            std::vector<std::uint8_t> key;
            for (const WCHAR* p = value.val.lpwstr; p && *p; ++p) {
                PutLe(data, *p, 2);
                key.push_back(static_cast<std::uint8_t>(*p >> 8));
                key.push_back(static_cast<std::uint8_t>(*p & 0xFF));
            }
            stored.key = std::move(key);
            break;
        }
        case CEVT_BLOB:
            if (value.val.blob.dwCount && !value.val.blob.lpb)
                throw CedbError(ERROR_INVALID_PARAMETER);
            if (value.val.blob.dwCount)
                data.assign(value.val.blob.lpb, value.val.blob.lpb + value.val.blob.dwCount);
            stored.key = data;
            break;
        default:
            throw CedbError(ERROR_INVALID_PARAMETER);
    }
    return stored;
}

std::size_t ExtraSize(CEPROPID propid, std::span<const std::uint8_t> data) {
    switch (TypeFromPropID(propid)) {
        case CEVT_LPWSTR:
            return Align(data.size() + sizeof(WCHAR));
        case CEVT_BLOB:
            return Align(data.size());
        default:
            return 0;
    }
}

void Decode(CEPROPID propid, std::span<const std::uint8_t> data, CEPROPVAL& out,
            std::uint8_t* extra) {
    out.propid = propid;
    out.wLenData = 0;
    out.wFlags = 0;
    std::memset(&out.val, 0, sizeof out.val);
    switch (TypeFromPropID(propid)) {
        case CEVT_I2:
            out.val.iVal = static_cast<SHORT>(GetLe(data, 2));
            break;
        case CEVT_UI2:
            out.val.uiVal = static_cast<USHORT>(GetLe(data, 2));
            break;
        case CEVT_I4:
            out.val.lVal = static_cast<LONG>(GetLe(data, 4));
            break;
        case CEVT_UI4:
            out.val.ulVal = static_cast<ULONG>(GetLe(data, 4));
            break;
        case CEVT_BOOL:
            out.val.boolVal = static_cast<BOOL>(GetLe(data, 4));
            break;
        case CEVT_R8: {
            std::uint64_t bits = GetLe(data, 8);
            std::memcpy(&out.val.dblVal, &bits, sizeof bits);
            break;
        }
        case CEVT_FILETIME: {
            std::uint64_t time = GetLe(data, 8);
            out.val.filetime.dwLowDateTime = static_cast<DWORD>(time);
            out.val.filetime.dwHighDateTime = static_cast<DWORD>(time >> 32);
            break;
        }
        case CEVT_LPWSTR: {
            auto* text = reinterpret_cast<WCHAR*>(extra);
            std::size_t units = data.size() / 2;
            for (std::size_t i = 0; i < units; ++i)
                text[i] = static_cast<WCHAR>(data[2 * i] | (data[2 * i + 1] << 8));
            text[units] = 0;
            out.val.lpwstr = text;
            break;
        }
        case CEVT_BLOB:
            if (!data.empty()) std::memcpy(extra, data.data(), data.size());
            out.val.blob.dwCount = static_cast<DWORD>(data.size());
            out.val.blob.lpb = data.empty() ? nullptr : extra;
            break;
    }
}

}  // namespace emu::cedb
