#include "account_store.h"

#include <windows.h>

#include "emu/cemapi/message_stores.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"

namespace emu::configmgr {

namespace {

std::u16string AccountKey(const std::u16string& id) { return std::u16string(kAccountsKey) + u"\\" + id; }

MailAccount ReadAccount(HKEY key, std::u16string id) {
    MailAccount account;
    account.id = std::move(id);
    for (const char16_t* name : kAccountParms) {
        WCHAR value[1024] = {};
        DWORD size = sizeof(value) - sizeof(WCHAR);
        DWORD type = 0;
        if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
                ERROR_SUCCESS &&
            type == REG_SZ)
            account.parms[name] = value;
    }
    return account;
}

}  // namespace

std::u16string MailAccount::Parm(const std::u16string& name) const {
    auto found = parms.find(name);
    return found == parms.end() ? std::u16string() : found->second;
}

std::vector<MailAccount> ReadAccounts() {
    std::vector<MailAccount> accounts;
    HKEY root = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAccountsKey, 0, KEY_READ, &root) != ERROR_SUCCESS)
        return accounts;
    for (DWORD index = 0;; ++index) {
        WCHAR id[256];
        DWORD length = 256;
        if (RegEnumKeyExW(root, index, id, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, id, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        accounts.push_back(ReadAccount(key, id));
        RegCloseKey(key);
    }
    RegCloseKey(root);
    return accounts;
}

bool WriteAccount(const MailAccount& account) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, AccountKey(account.id).c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    bool written = true;
    for (const auto& [name, value] : account.parms) {
        DWORD size = static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR));
        written = written && RegSetValueExW(key, name.c_str(), 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(value.c_str()),
                                            size) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    RegFlushKey(HKEY_LOCAL_MACHINE);
    std::u16string name = account.Parm(u"SERVICENAME");
    if (written && !name.empty() && !cemapi::FindStore(pal::CurrentMachine(), name))
        cemapi::CreateStore(pal::CurrentMachine(), name);
    return written;
}

bool RemoveAccount(const std::u16string& id) {
    LONG status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, AccountKey(id).c_str());
    RegFlushKey(HKEY_LOCAL_MACHINE);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

std::vector<MailAccount> ListAccounts(pal::Machine& device) {
    pal::ScopedContext context(device);
    return ReadAccounts();
}

}  // namespace emu::configmgr
