#include "handle_decode.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "cli.h"

namespace velumex {

namespace {

class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}
    bool Has(size_t count) const { return m_bytes.size() - m_offset >= count; }
    std::uint32_t U32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= std::uint32_t(m_bytes[m_offset + i]) << (8 * i);
        m_offset += 4;
        return value;
    }
    const std::uint8_t* Take(size_t count) {
        const std::uint8_t* at = m_bytes.data() + m_offset;
        m_offset += count;
        return at;
    }
    size_t Offset() const { return m_offset; }
    size_t Left() const { return m_bytes.size() - m_offset; }

private:
    const std::vector<std::uint8_t>& m_bytes;
    size_t m_offset = 0;
};

std::string Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Line(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return std::string(text) + "\n";
}

std::string Hex(const std::uint8_t* bytes, size_t count) {
    std::string text;
    char pair[3];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        text += pair;
    }
    return text;
}

// Bytes as text that stays on its line: controls, '"', '\\' and bytes past ASCII as \xHH.
std::string Printable(const std::uint8_t* bytes, size_t count) {
    std::string text;
    char escaped[5];
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] >= 0x20 && bytes[i] < 0x7F && bytes[i] != '"' && bytes[i] != '\\') {
            text += static_cast<char>(bytes[i]);
        } else {
            std::snprintf(escaped, sizeof escaped, "\\x%02X", bytes[i]);
            text += escaped;
        }
    }
    return text;
}

std::string Time(Reader& reader, const char* name) {
    std::uint32_t low = reader.U32();
    std::uint32_t high = reader.U32();
    return Line("%-16s 0x%08X%08X", name, high, low);
}

std::string TruncatedLine(const Reader& reader, size_t needed) {
    return Line("truncated: %zu more bytes needed at offset %zu", needed - reader.Left(),
                reader.Offset());
}

}  // namespace

namespace {

// The text of a handle; `complete` is cleared when it ends early.
std::string Decode(const std::vector<std::uint8_t>& bytes, bool& complete) {
    Reader reader(bytes);
    auto Truncated = [&](const Reader& at, size_t needed) {
        complete = false;
        return TruncatedLine(at, needed);
    };
    if (!reader.Has(6)) return Truncated(reader, 6);
    const std::uint8_t* header = reader.Take(2);
    unsigned version = header[0] | (header[1] << 8);
    std::uint32_t kind = reader.U32();
    static const char* const kKinds[] = {nullptr, "contact",   "contacts folder", nullptr,
                                         nullptr, "mail item", "mail folder"};
    const char* kindName = kind < 7 && kKinds[kind] ? kKinds[kind] : "unknown";
    std::string out =
        Line("%-16s %u", "version", version) + Line("%-16s %u (%s)", "kind", kind, kindName);
    switch (kind) {
        case 2:
        case 6:
            if (reader.Left())
                out += Line("%-16s %zu bytes after the header", "extra", reader.Left());
            return out;
        case 5: {
            size_t needed = version == 2 ? 76 : 72;
            if (!reader.Has(needed)) return out + Truncated(reader, needed);
            out += Time(reader, "received");
            const std::uint8_t* id = reader.Take(64);
            size_t length = strnlen(reinterpret_cast<const char*>(id), 63);
            out += Line("%-16s \"%s\"", "message id", Printable(id, length).c_str());
            if (version == 2) out += Line("%-16s %u", "unread", reader.U32());
            return out;
        }
        case 1: {
            std::uint32_t count = 4;
            if (version >= 2) {
                if (!reader.Has(4)) return out + Truncated(reader, 4);
                count = reader.U32();
            }
            if (reader.Left() < 8 || count > reader.Left() - 8)
                return out + Line("%-16s %u", "entry id bytes", count) +
                       Truncated(reader, size_t(count) + 8);
            out += Line("%-16s %u", "entry id bytes", count);
            out += Line("%-16s %s", "entry id", Hex(reader.Take(count), count).c_str());
            return out + Time(reader, "modified");
        }
        default:
            return out + Line("%-16s %zu bytes", "payload", reader.Left());
    }
}

}  // namespace

DecodedHandle DecodeHandle(const std::vector<std::uint8_t>& bytes) {
    DecodedHandle decoded;
    decoded.text = Decode(bytes, decoded.complete);
    return decoded;
}

std::vector<std::uint8_t> ParseHex(const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (c == ' ' || c == ':' || c == '\t') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            throw CliError(std::string("not a hexadecimal digit: '") + c + "'");
        digits += c;
    }
    if (digits.size() % 2) throw CliError("odd number of hexadecimal digits");
    std::vector<std::uint8_t> bytes;
    for (size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

}  // namespace velumex
