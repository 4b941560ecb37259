#include "vcard.h"

#include <algorithm>
#include <cctype>

#include "cli.h"

namespace velumex {

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A value's components, split at unescaped `separator`, each unescaped.
std::vector<std::string> Components(const std::string& value, char separator) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            char next = value[++i];
            parts.back() += (next == 'n' || next == 'N') ? '\n' : next;
        } else if (c == separator) {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '\\' || c == ',' || c == ';') out += '\\';
        out += c;
    }
    return out;
}

// "YYYYMMDD" or "YYYY-MM-DD" as "YYYY-MM-DD"; other dates as they are.
std::string Date(const std::string& value) {
    std::string digits = value.substr(0, value.find('T'));
    if (digits.size() == 8 && std::all_of(digits.begin(), digits.end(), ::isdigit))
        return digits.substr(0, 4) + "-" + digits.substr(4, 2) + "-" + digits.substr(6, 2);
    return digits;
}

struct Line {
    std::string name;   // upper case, without group
    std::string types;  // TYPE parameters, upper case, joined by ","
    std::string value;
};

Line Split(const std::string& raw) {
    Line line;
    size_t colon = std::string::npos;
    bool quoted = false;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '"') quoted = !quoted;
        if (raw[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon == std::string::npos) return line;
    line.value = raw.substr(colon + 1);
    std::vector<std::string> head = Components(raw.substr(0, colon), ';');
    line.name = Upper(head[0].substr(head[0].find('.') == std::string::npos ? 0
                                                                             : head[0].find('.') + 1));
    for (size_t i = 1; i < head.size(); ++i) {
        std::string param = Upper(head[i]);
        if (param.rfind("TYPE=", 0) == 0) param = param.substr(5);
        else if (param.find('=') != std::string::npos) continue;
        param.erase(std::remove(param.begin(), param.end(), '"'), param.end());
        line.types += (line.types.empty() ? "" : ",") + param;
    }
    return line;
}

bool Typed(const Line& line, const char* type) {
    for (const std::string& t : Components(line.types, ','))
        if (t == type) return true;
    return false;
}

void Set(VCardContact& card, const std::string& field, const std::string& value) {
    if (value.empty()) return;
    for (auto& [name, text] : card.fields)
        if (name == field) return;
    card.fields.emplace_back(field, value);
}

void Apply(VCardContact& card, const Line& line) {
    const std::string& n = line.name;
    if (n == "FN") {
        Set(card, "name", Components(line.value, '\x01')[0]);
    } else if (n == "N") {
        std::vector<std::string> parts = Components(line.value, ';');
        parts.resize(5);
        Set(card, "last", parts[0]);
        Set(card, "first", parts[1]);
        Set(card, "middle", parts[2]);
        Set(card, "prefix", parts[3]);
    } else if (n == "NICKNAME") {
        Set(card, "nickname", Components(line.value, ',')[0]);
    } else if (n == "EMAIL") {
        std::string address = Components(line.value, '\x01')[0];
        if (address.empty()) return;
        if (Typed(line, "PREF"))
            card.emails.insert(card.emails.begin(), address);
        else
            card.emails.push_back(address);
    } else if (n == "TEL") {
        std::string number = Components(line.value, '\x01')[0];
        bool fax = Typed(line, "FAX");
        if (Typed(line, "CELL")) Set(card, "mobile", number);
        else if (Typed(line, "PAGER")) Set(card, "pager", number);
        else if (Typed(line, "HOME")) Set(card, fax ? "home-fax" : "home-phone", number);
        else if (fax) Set(card, "business-fax", number);
        else {
            bool taken = false;
            for (auto& [name, text] : card.fields) taken |= name == "business-phone";
            Set(card, taken ? "business2-phone" : "business-phone", number);
        }
    } else if (n == "ADR") {
        std::vector<std::string> parts = Components(line.value, ';');
        parts.resize(7);
        std::string side = Typed(line, "HOME") ? "home-" : "business-";
        Set(card, side + "street", parts[2]);
        Set(card, side + "city", parts[3]);
        Set(card, side + "state", parts[4]);
        Set(card, side + "zip", parts[5]);
        Set(card, side + "country", parts[6]);
    } else if (n == "ORG") {
        std::vector<std::string> parts = Components(line.value, ';');
        Set(card, "company", parts[0]);
        if (parts.size() > 1) Set(card, "department", parts[1]);
    } else if (n == "TITLE") {
        Set(card, "job-title", Components(line.value, '\x01')[0]);
    } else if (n == "BDAY") {
        Set(card, "birthday", Date(line.value));
    } else if (n == "ANNIVERSARY" || n == "X-ANNIVERSARY") {
        Set(card, "anniversary", Date(line.value));
    } else if (n == "NOTE") {
        Set(card, "notes", Components(line.value, '\x01')[0]);
    } else if (n == "URL") {
        Set(card, "webpage", line.value);
    } else if (n == "X-SPOUSE") {
        Set(card, "spouse", Components(line.value, '\x01')[0]);
    }
}

}  // namespace

std::vector<VCardContact> ParseVCards(const std::string& text) {
    // Unfolded lines: a line starting with a space or tab continues the previous one.
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && (line[0] == ' ' || line[0] == '\t') && !lines.empty())
            lines.back() += line.substr(1);
        else
            lines.push_back(line);
        at = end + 1;
    }
    std::vector<VCardContact> cards;
    bool open = false;
    std::string version;
    for (const std::string& raw : lines) {
        if (raw.empty()) continue;
        Line line = Split(raw);
        if (line.name == "BEGIN" && Upper(line.value) == "VCARD") {
            if (open) throw CliError("a vCard begins inside another");
            open = true;
            version.clear();
            cards.emplace_back();
        } else if (line.name == "END" && Upper(line.value) == "VCARD") {
            if (!open) throw CliError("END:VCARD without BEGIN:VCARD");
            if (version != "3.0" && version != "4.0")
                throw CliError("vCard version '" + version + "' is not 3.0 or 4.0");
            open = false;
        } else if (open && line.name == "VERSION") {
            version = line.value;
        } else if (open) {
            Apply(cards.back(), line);
        }
    }
    if (open) throw CliError("the last vCard has no END:VCARD");
    return cards;
}

std::string WriteVCard(const VCardContact& contact) {
    auto get = [&](const char* field) {
        for (const auto& [name, text] : contact.fields)
            if (name == field) return text;
        return std::string();
    };
    std::string out = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    std::string name = get("name");
    if (name.empty()) name = get("first") + (get("first").empty() ? "" : " ") + get("last");
    out += "FN:" + Escape(name) + "\r\n";
    out += "N:" + Escape(get("last")) + ";" + Escape(get("first")) + ";" + Escape(get("middle")) +
           ";" + Escape(get("prefix")) + ";\r\n";
    auto line = [&](const std::string& head, const char* field) {
        std::string value = get(field);
        if (!value.empty()) out += head + ":" + Escape(value) + "\r\n";
    };
    line("NICKNAME", "nickname");
    for (size_t i = 0; i < contact.emails.size(); ++i)
        out += std::string("EMAIL;TYPE=INTERNET") + (i == 0 ? ",PREF" : "") + ":" +
               Escape(contact.emails[i]) + "\r\n";
    line("TEL;TYPE=CELL", "mobile");
    line("TEL;TYPE=WORK,VOICE", "business-phone");
    line("TEL;TYPE=WORK,VOICE", "business2-phone");
    line("TEL;TYPE=HOME,VOICE", "home-phone");
    line("TEL;TYPE=WORK,FAX", "business-fax");
    line("TEL;TYPE=HOME,FAX", "home-fax");
    line("TEL;TYPE=PAGER", "pager");
    for (const char* side : {"business", "home"}) {
        std::string s = side;
        std::string parts = Escape(get((s + "-street").c_str())) + ";" +
                            Escape(get((s + "-city").c_str())) + ";" +
                            Escape(get((s + "-state").c_str())) + ";" +
                            Escape(get((s + "-zip").c_str())) + ";" +
                            Escape(get((s + "-country").c_str()));
        if (parts != ";;;;")
            out += std::string("ADR;TYPE=") + (s == "home" ? "HOME" : "WORK") + ":;;" + parts +
                   "\r\n";
    }
    if (!get("company").empty() || !get("department").empty())
        out += "ORG:" + Escape(get("company")) + ";" + Escape(get("department")) + "\r\n";
    line("TITLE", "job-title");
    line("BDAY", "birthday");
    line("X-ANNIVERSARY", "anniversary");
    line("NOTE", "notes");
    std::string url = get("webpage");
    if (!url.empty()) out += "URL:" + url + "\r\n";
    line("X-SPOUSE", "spouse");
    return out + "END:VCARD\r\n";
}

}  // namespace velumex
