// The device's mail accounts as the configuration manager keeps them: one per EMAIL2
// characteristic, under HKEY_LOCAL_MACHINE "Comm\EMAIL2\<account id>" with one REG_SZ value per
// parameter. Adding an account also gives it a message store named after its SERVICENAME.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace pal {
class Machine;
}

namespace emu::configmgr {

inline constexpr char16_t kAccountsKey[] = u"Comm\\EMAIL2";
// The parameters an account has; the configuration manager refuses others.
inline constexpr const char16_t* kAccountParms[] = {u"SERVICENAME", u"SERVICETYPE", u"INSERVER",
                                                    u"OUTSERVER",   u"AUTHNAME",    u"AUTHSECRET",
                                                    u"DOMAIN",      u"REPLYADDR"};

struct MailAccount {
    std::u16string id;                               // the characteristic's type, e.g. a GUID
    std::map<std::u16string, std::u16string> parms;  // SERVICENAME, SERVICETYPE, …
    std::u16string Parm(const std::u16string& name) const;
};

// The accounts of the device, in id order.
std::vector<MailAccount> ListAccounts(pal::Machine& device);

}  // namespace emu::configmgr
