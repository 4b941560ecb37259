// vCard 3.0 and 4.0 text for the contacts the command line imports and exports, in the fields of
// contact_fields.h. Reading unfolds lines, ignores property groups and parameters other than
// TYPE, unescapes values, and skips properties it does not map; writing produces vCard 3.0.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace velumex {

struct VCardContact {
    // (field name, UTF-8 value) in the order met; one per field.
    std::vector<std::pair<std::string, std::string>> fields;
    std::vector<std::string> emails;  // the preferred one first
};

// Every BEGIN:VCARD … END:VCARD of `text`. Throws CliError for a card that is not closed or
// whose VERSION is not 3.0 or 4.0.
std::vector<VCardContact> ParseVCards(const std::string& text);
std::string WriteVCard(const VCardContact& contact);

}  // namespace velumex
