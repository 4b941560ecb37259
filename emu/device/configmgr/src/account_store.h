// Reading and writing the accounts in the current machine's registry.
#pragma once

#include <string>
#include <vector>

#include "emu/configmgr/accounts.h"

namespace emu::configmgr {

std::vector<MailAccount> ReadAccounts();
// Creates or updates the account; a new SERVICENAME without a message store of that name gets
// one. False when the registry refuses the write.
bool WriteAccount(const MailAccount& account);
// Removes the account's key; removing an account that does not exist succeeds.
bool RemoveAccount(const std::u16string& id);

}  // namespace emu::configmgr
