#include "mail_options_plan.h"

#include <strings.h>

#include <cstdio>
#include <map>
#include <sstream>

#include "cli.h"
#include "pal/runtime/encoding.h"

namespace velumex {

namespace {

// Each "Options" bit's check box and the box that enables it (0: always enabled). Parents come
// before the boxes they enable.
struct OptionBox {
    DWORD bit;
    int id;
    int parent;
};
constexpr OptionBox kBoxes[] = {
    {0x01, 1009, 0},   {0x02, 1010, 1009}, {0x04, 1120, 1009}, {0x08, 1031, 1009},
    {0x20, 170, 1031}, {0x10, 1032, 0},    {0x40, 1011, 1032},
};

// Each number, its edit, and the bits that must be set for OK to store what the edit holds.
struct OptionNumber {
    std::optional<DWORD> MailOptionsRequest::*value;
    const char* name;
    int id;
    DWORD needs;
};
constexpr OptionNumber kNumbers[] = {
    {&MailOptionsRequest::maxLines, "MaxLines", 1030, 0x01 | 0x02},
    {&MailOptionsRequest::days, "Days", 1121, 0x01 | 0x04},
    {&MailOptionsRequest::sizeLimit, "SizeLimit", 172, 0x01 | 0x08 | 0x20},
};

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

DWORD ParseValue(const std::string& name, const std::string& text, bool hexAllowed) {
    std::string digits = text;
    int base = 10;
    if (hexAllowed && (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0)) {
        digits = text.substr(2);
        base = 16;
    }
    const char* allowed = base == 16 ? "0123456789abcdefABCDEF" : "0123456789";
    if (digits.empty() || digits.find_first_not_of(allowed) != std::string::npos)
        throw CliError(name + " '" + text + "' is not a " +
                       (hexAllowed ? "number (decimal, or 0x and hex digits)" : "decimal number"));
    unsigned long long value = 0;
    for (char c : digits) {
        value = value * base + std::stoi(std::string(1, c), nullptr, 16);
        if (value > 0xFFFFFFFFull) throw CliError(name + " " + text + " exceeds 32 bits");
    }
    return static_cast<DWORD>(value);
}

}  // namespace

void ParseMailOptions(const std::string& text, MailOptionsRequest& request) {
    std::istringstream parts(text);
    std::string part;
    bool any = false;
    while (std::getline(parts, part, ',')) {
        any = true;
        size_t equals = part.find('=');
        if (equals == std::string::npos)
            throw CliError("'" + part + "' is not NAME=VALUE (Options, MaxLines, Days, SizeLimit)");
        std::string name = part.substr(0, equals);
        std::string value = part.substr(equals + 1);
        if (strcasecmp(name.c_str(), "Options") == 0) {
            request.options = ParseValue("Options", value, true);
            continue;
        }
        bool known = false;
        for (const OptionNumber& number : kNumbers) {
            if (strcasecmp(name.c_str(), number.name) != 0) continue;
            request.*number.value = ParseValue(number.name, value, false);
            known = true;
        }
        if (!known)
            throw CliError("unknown mail option '" + name +
                           "' (use Options, MaxLines, Days or SizeLimit)");
    }
    if (!any) throw CliError("--set needs NAME=VALUE");
}

std::vector<DialogAction> PlanMailOptions(const std::vector<pal::DialogControl>& controls,
                                          const MailOptionsRequest& request) {
    std::map<int, const pal::DialogControl*> byId;
    for (const pal::DialogControl& control : controls) byId.emplace(control.id, &control);
    auto find = [&byId](int id) {
        auto found = byId.find(id);
        if (found == byId.end()) throw CliError("the dialog has no control " + std::to_string(id));
        return found->second;
    };

    // What OK would store now: a bit counts only while the boxes above it are checked.
    std::map<int, bool> effective;
    DWORD current = 0;
    for (const OptionBox& box : kBoxes) {
        bool on = find(box.id)->checked && (!box.parent || effective[box.parent]);
        effective[box.id] = on;
        if (on) current |= box.bit;
    }

    DWORD wanted = request.options.value_or(current);
    if (wanted & ~0x7Fu)
        throw CliError("Options " + Hex(wanted) + " has bits the dialog does not offer (" +
                       Hex(wanted & ~0x7Fu) + "); it offers 0x7F");
    if ((wanted & 0x2E) && !(wanted & 0x01))
        throw CliError("Options " + Hex(wanted) +
                       ": bits 0x2, 0x4, 0x8 and 0x20 are kept only with 0x1");
    if ((wanted & 0x20) && !(wanted & 0x08))
        throw CliError("Options " + Hex(wanted) + ": bit 0x20 is kept only with 0x8");
    if ((wanted & 0x40) && !(wanted & 0x10))
        throw CliError("Options " + Hex(wanted) + ": bit 0x40 is kept only with 0x10");

    // Parents first: a box is visited only when every box above it ends checked, so it is
    // enabled when its turn comes; below a box that ends unchecked nothing matters.
    std::vector<DialogAction> plan;
    std::map<int, bool> endsChecked;
    for (const OptionBox& box : kBoxes) {
        if (box.parent && !endsChecked[box.parent]) continue;
        bool want = wanted & box.bit;
        endsChecked[box.id] = want;
        if (find(box.id)->checked != want)
            plan.push_back(
                {want ? DialogAction::Kind::Check : DialogAction::Kind::Uncheck, box.id, {}, 0});
    }

    for (const OptionNumber& number : kNumbers) {
        const std::optional<DWORD>& value = request.*number.value;
        if (!value) continue;
        std::string text = std::to_string(*value);
        if (pal::U8(find(number.id)->text) == text) continue;
        if ((wanted & number.needs) != number.needs)
            throw CliError(std::string(number.name) + " is stored only with Options bits " +
                           Hex(number.needs) + " set; Options would be " + Hex(wanted));
        plan.push_back({DialogAction::Kind::Type, number.id, text, 0});
    }
    return plan;
}

}  // namespace velumex
