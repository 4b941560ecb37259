// Contact fields as the command line names them ("first", "company", "home-city", …), and the
// address-book property and device packet tag each one is.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "emu/wab/address_book.h"

namespace velumex {

struct ContactField {
    const char* name;
    ULONG bookTag;
    ULONG packetTag;
};

// Every field but "email", which is a list of addresses (see SetEmails).
const std::vector<ContactField>& ContactFields();
// Throws CliError naming the known fields when `name` is none of them.
const ContactField& FieldNamed(const std::string& name);

// A field's value (UTF-8; dates "YYYY-MM-DD"; children separated by ";") as its property.
// Throws CliError for text the desktop's code page cannot hold or a malformed date.
emu::wab::Property FieldProperty(const ContactField& field, const std::string& value);
// A property's value as the command line shows it (UTF-8).
std::string FieldText(const emu::wab::Property& prop);

// The three properties that hold a contact's addresses, the default one at `defaultIndex`.
std::vector<emu::wab::Property> EmailProperties(const std::vector<std::string>& addresses,
                                                size_t defaultIndex);

// UTF-8 as the desktop's ANSI text, and back.
std::string ToAnsi(const std::string& utf8);
std::string FromAnsi(const std::string& ansi);

}  // namespace velumex
