#include <fstream>
#include <iterator>
#include <vector>

#include "pal/runtime/encoding.h"
#include "pal/runtime/registry_store.h"
#include "reg_file.h"

namespace pal::reg {

namespace {

class HiveParser {
public:
    HiveParser(std::u16string_view text, std::u16string_view rootName, Key& root,
               const std::string& fileName)
        : m_rootName(rootName), m_root(root), m_fileName(fileName) {
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find(u'\n', start);
            if (end == std::u16string_view::npos) end = text.size();
            std::u16string_view line = text.substr(start, end - start);
            if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
            m_lines.push_back(line);
            start = end + 1;
        }
    }

    void Run() {
        bool sawHeader = false;
        bool sealed = false, ended = false;
        size_t firstLine = 0;  // the first line after the header that is not blank
        for (m_index = 0; m_index < m_lines.size(); ++m_index) {
            std::u16string_view line = m_lines[m_index];
            m_lineNo = m_index + 1;
            if (IsBlank(line)) continue;
            if (sawHeader && !firstLine) {
                firstLine = m_lineNo;
                sealed = TrimRight(line) == kHiveSealLine;
            }
            if (ended) Fail("text after the closing \"" + U8(kHiveEndLine) + "\" line");
            if (!sawHeader) {
                if (line != kRegFileHeader) Fail("expected \"" + U8(kRegFileHeader) + "\"");
                sawHeader = true;
            } else if (line.front() == u';') {
                ended = sealed && TrimRight(line) == kHiveEndLine;
                continue;
            } else if (line.front() == u'[') {
                OpenKey(line);
            } else if (line.front() == u'"' || line.front() == u'@') {
                ReadValue(line);
            } else {
                Fail("expected a [key] line or a value line");
            }
        }
        if (!sawHeader) {
            m_lineNo = 1;
            Fail("expected \"" + U8(kRegFileHeader) + "\"");
        }
        if (sealed && !ended) {
            m_lineNo = m_lines.size();
            while (m_lineNo > 1 && IsBlank(m_lines[m_lineNo - 1])) --m_lineNo;
            Fail("the file is cut short here: it lacks its closing \"" + U8(kHiveEndLine) +
                 "\" line");
        }
    }

private:
    [[noreturn]] void Fail(const std::string& problem) const {
        throw RegistryError(m_fileName + ":" + std::to_string(m_lineNo) + ": " + problem);
    }

    static bool IsBlank(std::u16string_view line) {
        return line.find_first_not_of(u" \t") == std::u16string_view::npos;
    }

    static std::u16string_view TrimRight(std::u16string_view s) {
        while (!s.empty() && (s.back() == u' ' || s.back() == u'\t')) s.remove_suffix(1);
        return s;
    }

    // The names of a key line written as quoted names joined by '\' (its '[' already read).
    std::vector<std::u16string> QuotedNames(std::u16string_view line) {
        std::vector<std::u16string> names;
        size_t pos = 1;
        while (true) {
            if (pos >= line.size() || line[pos] != u'"') Fail("expected a quoted key name");
            ++pos;
            names.push_back(Quoted(line, pos));
            if (pos < line.size() && line[pos] == u'\\') {
                ++pos;
                continue;
            }
            if (pos + 1 != line.size() || line[pos] != u']')
                Fail("a key line must end with ']'");
            return names;
        }
    }

    void OpenKey(std::u16string_view line) {
        line = TrimRight(line);
        std::vector<std::u16string> owned;
        std::vector<std::u16string_view> names;
        std::u16string_view root, path;
        if (line.size() > 1 && line[1] == u'"') {
            owned = QuotedNames(line);
            root = owned.front();
            path = root;
            names.assign(owned.begin() + 1, owned.end());
            if (names.empty()) Fail("malformed key name " + U8(root));
        } else {
            if (line.size() < 2 || line.back() != u']') Fail("a key line must end with ']'");
            path = line.substr(1, line.size() - 2);
            if (!path.empty() && path.front() == u'-')
                Fail("key deletion is not allowed in a hive");
            size_t slash = path.find(u'\\');
            root = path.substr(0, slash);
            if (slash != std::u16string_view::npos &&
                (!SplitKeyPath(path.substr(slash + 1), names) || names.empty()))
                Fail("malformed key name " + U8(path));
        }
        if (!EqualsNoCase(root, m_rootName))
            Fail("key " + U8(path) + " does not lie under " + U8(m_rootName));
        for (auto name : names)
            if (!IsValidKeyName(name))
                Fail("a key name must be 1 to 255 characters without '\\'");
        Key* key = &m_root;
        for (auto name : names) {
            bool created = false;
            key = key->AddSubkey(name, created).get();
        }
        m_key = key;
    }

    // Reads a quoted text at `pos` (just past the opening quote), undoing \\ and \" escapes.
    std::u16string Quoted(std::u16string_view line, size_t& pos) {
        std::u16string text;
        while (pos < line.size()) {
            char16_t u = line[pos++];
            if (u == u'"') return text;
            if (u == u'\\') {
                if (pos >= line.size()) Fail("unknown escape in quoted text");
                u = line[pos++];
                if (u == u'r')
                    u = u'\r';
                else if (u == u'n')
                    u = u'\n';
                else if (u != u'\\' && u != u'"')
                    Fail("unknown escape in quoted text");
            }
            text += u;
        }
        Fail("unterminated quoted text");
    }

    static int HexDigit(char16_t u) {
        if (u >= u'0' && u <= u'9') return u - u'0';
        if (u >= u'a' && u <= u'f') return u - u'a' + 10;
        if (u >= u'A' && u <= u'F') return u - u'A' + 10;
        return -1;
    }

    // A hex number of 1 to `maxDigits` digits, the whole of `text`.
    std::optional<DWORD> HexNumber(std::u16string_view text, size_t maxDigits) {
        if (text.empty() || text.size() > maxDigits) return std::nullopt;
        DWORD value = 0;
        for (char16_t u : text) {
            int digit = HexDigit(u);
            if (digit < 0) return std::nullopt;
            value = (value << 4) | static_cast<DWORD>(digit);
        }
        return value;
    }

    void ReadValue(std::u16string_view line) {
        if (!m_key) Fail("a value line before any [key] line");
        size_t pos = 1;
        std::u16string name = line.front() == u'@' ? std::u16string() : Quoted(line, pos);
        if (line.front() == u'"' && name.empty()) Fail("an empty value name is written @");
        if (pos >= line.size() || line[pos] != u'=') Fail("expected '=' after the value name");
        std::u16string_view data = line.substr(pos + 1);

        if (!data.empty() && data.front() == u'"') {
            size_t at = 1;
            std::u16string text = Quoted(data, at);
            if (!IsBlank(data.substr(at))) Fail("text after the closing quote");
            std::vector<BYTE> bytes;
            for (char16_t u : text) {
                bytes.push_back(static_cast<BYTE>(u & 0xFF));
                bytes.push_back(static_cast<BYTE>(u >> 8));
            }
            bytes.push_back(0);
            bytes.push_back(0);
            m_key->SetValue(name, 1 /* REG_SZ */, std::move(bytes));
        } else if (data.starts_with(u"dword:")) {
            auto number = HexNumber(TrimRight(data.substr(6)), 8);
            if (!number) Fail("dword: needs 1 to 8 hex digits");
            std::vector<BYTE> bytes;
            for (int shift = 0; shift < 32; shift += 8)
                bytes.push_back(static_cast<BYTE>(*number >> shift));
            m_key->SetValue(name, 4 /* REG_DWORD */, std::move(bytes));
        } else if (data.starts_with(u"hex:") || data.starts_with(u"hex(")) {
            DWORD type = 3 /* REG_BINARY */;
            size_t colon = data.find(u':');
            if (data[3] == u'(') {
                size_t close = data.find(u')');
                std::optional<DWORD> number;
                if (close != std::u16string_view::npos && close + 1 == colon)
                    number = HexNumber(data.substr(4, close - 4), 8);
                if (!number) Fail("hex(N): needs a hex type number");
                type = *number;
            }
            m_key->SetValue(name, type, HexBytes(data.substr(colon + 1)));
        } else {
            Fail("unknown value form (expected \"text\", dword:, hex: or hex(N):)");
        }
    }

    // The comma-separated bytes of a hex value, following lines folded with a trailing '\'.
    std::vector<BYTE> HexBytes(std::u16string_view first) {
        std::u16string body;
        std::u16string_view part = TrimRight(first);
        size_t startLine = m_lineNo;
        while (!part.empty() && part.back() == u'\\') {
            body += part.substr(0, part.size() - 1);
            if (m_index + 1 >= m_lines.size()) Fail("a folded hex value ends the file");
            part = m_lines[++m_index];
            part = TrimRight(part.substr(std::min(part.find_first_not_of(u" \t"), part.size())));
        }
        body += part;
        m_lineNo = startLine;
        std::vector<BYTE> bytes;
        if (body.find_first_not_of(u" \t") == std::u16string::npos) return bytes;
        size_t start = 0;
        while (start <= body.size()) {
            size_t end = body.find(u',', start);
            if (end == std::u16string::npos) end = body.size();
            std::u16string_view item = std::u16string_view(body).substr(start, end - start);
            size_t lead = item.find_first_not_of(u" \t");
            item = TrimRight(lead == std::u16string_view::npos ? u"" : item.substr(lead));
            auto byte = HexNumber(item, 2);
            if (!byte) Fail("malformed hex byte '" + U8(item) + "'");
            bytes.push_back(static_cast<BYTE>(*byte));
            start = end + 1;
        }
        return bytes;
    }

    std::u16string_view m_rootName;
    Key& m_root;
    const std::string& m_fileName;
    std::vector<std::u16string_view> m_lines;
    size_t m_index = 0;
    size_t m_lineNo = 0;
    Key* m_key = nullptr;
};

}  // namespace

void ParseHive(std::u16string_view text, std::u16string_view rootName, Key& root,
               const std::string& fileName) {
    HiveParser(text, rootName, root, fileName).Run();
}

bool ReadHiveFile(const std::filesystem::path& file, std::u16string& text) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::error_code ec;
        if (!std::filesystem::exists(file, ec)) return false;
        throw RegistryError("cannot read " + file.string());
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
        static_cast<unsigned char>(bytes[1]) != 0xFE)
        throw RegistryError(file.string() + ":1: not UTF-16LE text with a byte order mark");
    if (bytes.size() % 2 != 0) throw RegistryError(file.string() + ": odd length for UTF-16 text");
    text.clear();
    for (size_t i = 2; i < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return true;
}

void WriteHiveFile(const std::filesystem::path& file, std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + text.size() * 2);
    for (char16_t u : text) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    auto temp = file;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) throw RegistryError("cannot write " + temp.string());
    }
    std::error_code ec;
    std::filesystem::rename(temp, file, ec);
    if (ec) throw RegistryError("cannot replace " + file.string() + ": " + ec.message());
}

}  // namespace pal::reg
