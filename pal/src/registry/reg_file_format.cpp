#include "reg_file.h"

namespace pal::reg {

namespace {

constexpr size_t kFoldColumn = 76;

void AppendHex(std::u16string& out, unsigned value, int digits) {
    static const char16_t kDigits[] = u"0123456789abcdef";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += kDigits[(value >> shift) & 0xF];
}

void AppendQuoted(std::u16string& out, std::u16string_view text) {
    out += u'"';
    for (char16_t u : text) {
        if (u == u'\r') {
            out += u"\\r";
        } else if (u == u'\n') {
            out += u"\\n";
        } else {
            if (u == u'\\' || u == u'"') out += u'\\';
            out += u;
        }
    }
    out += u'"';
}

bool HasControlCharacter(std::u16string_view text) {
    for (char16_t u : text)
        if (u < 0x20) return true;
    return false;
}

// The text of a REG_SZ whose bytes are exactly that text and one terminator, with no line
// breaks inside; nothing otherwise.
bool AsPlainString(const Value& value, std::u16string& text) {
    const auto& data = value.data;
    if (value.type != 1 /* REG_SZ */ || data.size() < 2 || data.size() % 2 != 0) return false;
    size_t units = data.size() / 2;
    text.clear();
    for (size_t i = 0; i < units; ++i) {
        char16_t u = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
        bool last = i + 1 == units;
        if ((u == 0) != last || u == u'\r' || u == u'\n') return false;
        if (!last) text += u;
    }
    return true;
}

}  // namespace

std::u16string FormatKeyLine(std::u16string_view path) {
    std::u16string line = u"[";
    if (!HasControlCharacter(path)) {
        line += path;
    } else {
        // Names never hold '\', so the path splits back into its names.
        size_t start = 0;
        while (true) {
            size_t end = path.find(u'\\', start);
            AppendQuoted(line, path.substr(start, end - start));
            if (end == std::u16string_view::npos) break;
            line += u'\\';
            start = end + 1;
        }
    }
    return line + u"]";
}

std::u16string FormatValueLine(const Value& value) {
    std::u16string line;
    if (value.name.empty())
        line = u"@";
    else
        AppendQuoted(line, value.name);
    line += u'=';

    std::u16string text;
    if (AsPlainString(value, text)) {
        AppendQuoted(line, text);
        return line + u"\r\n";
    }
    if (value.type == 4 /* REG_DWORD */ && value.data.size() == 4) {
        line += u"dword:";
        unsigned dword = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                         (static_cast<unsigned>(value.data[3]) << 24);
        AppendHex(line, dword, 8);
        return line + u"\r\n";
    }
    if (value.type == 3 /* REG_BINARY */) {
        line += u"hex:";
    } else {
        line += u"hex(";
        unsigned type = value.type;
        int digits = 1;
        while (digits < 8 && (type >> (digits * 4)) != 0) ++digits;
        AppendHex(line, type, digits);
        line += u"):";
    }
    std::u16string out;
    for (size_t i = 0; i < value.data.size(); ++i) {
        AppendHex(line, value.data[i], 2);
        if (i + 1 == value.data.size()) break;
        line += u',';
        if (line.size() >= kFoldColumn) {
            out += line + u"\\\r\n";
            line = u"  ";
        }
    }
    return out + line + u"\r\n";
}

void AppendKeyBlocks(std::u16string& out, const Key& key, const std::u16string& path,
                     bool recursive) {
    out += FormatKeyLine(path) + u"\r\n";
    for (const auto& value : key.values) out += FormatValueLine(value);
    out += u"\r\n";
    if (!recursive) return;
    for (const auto& child : key.subkeys)
        AppendKeyBlocks(out, *child, path + u"\\" + child->name, true);
}

std::u16string FormatHive(const Key& root, std::u16string_view rootName) {
    std::u16string out(kRegFileHeader);
    out += u"\r\n\r\n";
    out += kHiveSealLine;
    out += u"\r\n\r\n";
    std::u16string name(rootName);
    if (!root.values.empty()) AppendKeyBlocks(out, root, name, false);
    for (const auto& child : root.subkeys)
        AppendKeyBlocks(out, *child, name + u"\\" + child->name, true);
    out += kHiveEndLine;
    out += u"\r\n";
    return out;
}

}  // namespace pal::reg
