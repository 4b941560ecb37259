// Shared pieces of the `velumex desktop contacts` commands.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli.h"

namespace velumex {

// A contact number as the command line takes it; throws CliError for anything else.
std::uint32_t ParseContactId(const std::string& text);
// Adds `list --scope`'s store walk, `packet` and `apply` to the contacts group.
void AddContactsStoreCommands(CLI::App* contacts, CliContext& context);
// Marks of `list --scope`: the entry numbers the contacts folder enumerates, each with what
// IsItemReplicated answers, for the partnership the engine works for.
std::vector<std::pair<std::uint32_t, bool>> ContactsInScope(pal::World& world);
// The address-book entry number a contact item's handle bytes carry; nothing for other bytes.
std::optional<std::uint32_t> ContactItemNumber(const std::vector<BYTE>& handle);

}  // namespace velumex
