// DMProcessConfigXML: parses the whole document first and applies it only when every part is
// understood, so that a refused document changes nothing.
#include <cfgmgrapi.h>

#include <pugixml.hpp>

#include <cstring>
#include <string>
#include <variant>
#include <vector>

#include "account_store.h"
#include "pal/runtime/encoding.h"

namespace emu::configmgr {

namespace {

struct AddAccount {
    MailAccount account;
};
struct DropAccount {
    std::u16string id;
};
struct DropKey {
    HKEY root;
    std::u16string key;
};
using Change = std::variant<AddAccount, DropAccount, DropKey>;

bool IsKnownParm(const std::u16string& name) {
    for (const char16_t* known : kAccountParms)
        if (name == known) return true;
    return false;
}

// The changes one EMAIL2 characteristic asks for; an error result for anything else in it.
HRESULT ReadEmail2(const pugi::xml_node& email2, std::vector<Change>& changes) {
    for (pugi::xml_node node : email2.children()) {
        if (node.type() != pugi::node_element) continue;
        std::u16string id = pal::U16(node.attribute("type").value());
        if (id.empty()) return CONFIG_E_BAD_XML;
        std::string kind = node.name();
        if (kind == "nocharacteristic") {
            changes.push_back(DropAccount{id});
        } else if (kind == "characteristic") {
            AddAccount add{{id, {}}};
            for (pugi::xml_node parm : node.children()) {
                if (parm.type() != pugi::node_element) continue;
                if (std::string(parm.name()) != "parm") return CONFIG_E_BAD_XML;
                std::u16string name = pal::U16(parm.attribute("name").value());
                if (!IsKnownParm(name)) return CONFIG_E_CSPNOTFOUND;
                add.account.parms[name] = pal::U16(parm.attribute("value").value());
            }
            changes.push_back(std::move(add));
        } else {
            return CONFIG_E_BAD_XML;
        }
    }
    return S_OK;
}

// A Registry characteristic: each nocharacteristic names a key ("HKLM\…" or "HKCU\…") to delete.
HRESULT ReadRegistry(const pugi::xml_node& registry, std::vector<Change>& changes) {
    for (pugi::xml_node node : registry.children()) {
        if (node.type() != pugi::node_element) continue;
        if (std::string(node.name()) != "nocharacteristic") return CONFIG_E_CSPNOTFOUND;
        std::string path = node.attribute("type").value();
        HKEY root = nullptr;
        if (path.rfind("HKLM\\", 0) == 0) root = HKEY_LOCAL_MACHINE;
        if (path.rfind("HKCU\\", 0) == 0) root = HKEY_CURRENT_USER;
        if (!root || path.size() <= 5) return CONFIG_E_BAD_XML;
        changes.push_back(DropKey{root, pal::U16(path.substr(5))});
    }
    return S_OK;
}

HRESULT ReadDocument(const pugi::xml_document& document, std::vector<Change>& changes) {
    pugi::xml_node root = document.document_element();
    if (std::string(root.name()) != "wap-provisioningdoc") return CONFIG_E_BAD_XML;
    for (pugi::xml_node node : root.children()) {
        if (node.type() != pugi::node_element) continue;
        if (std::string(node.name()) != "characteristic") return CONFIG_E_BAD_XML;
        std::string type = node.attribute("type").value();
        HRESULT result = CONFIG_E_CSPNOTFOUND;
        if (type == "EMAIL2") result = ReadEmail2(node, changes);
        if (type == "Registry") result = ReadRegistry(node, changes);
        if (FAILED(result)) return result;
    }
    return S_OK;
}

bool Apply(const Change& change) {
    if (auto* add = std::get_if<AddAccount>(&change)) return WriteAccount(add->account);
    if (auto* drop = std::get_if<DropKey>(&change)) {
        LONG status = RegDeleteKeyW(drop->root, drop->key.c_str());
        RegFlushKey(drop->root);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    return RemoveAccount(std::get<DropAccount>(change).id);
}

}  // namespace

}  // namespace emu::configmgr

HRESULT DMProcessConfigXML(LPCWSTR pszWXMLin, DWORD dwFlags, LPWSTR* ppszwXMLout) {
    using namespace emu::configmgr;
    if (ppszwXMLout) *ppszwXMLout = nullptr;
    if (!pszWXMLin || dwFlags != CFGFLAG_PROCESS) return E_INVALIDARG;
    std::u16string input(pszWXMLin);
    std::string utf8 = pal::U8(input);
    pugi::xml_document document;
    if (!document.load_buffer(utf8.data(), utf8.size(), pugi::parse_default, pugi::encoding_utf8))
        return CONFIG_E_BAD_XML;
    std::vector<Change> changes;
    HRESULT result = ReadDocument(document, changes);
    if (FAILED(result)) return result;
    for (const Change& change : changes)
        if (!Apply(change)) return E_FAIL;
    if (ppszwXMLout) {
        auto* copy = new WCHAR[input.size() + 1];
        std::memcpy(copy, input.c_str(), (input.size() + 1) * sizeof(WCHAR));
        *ppszwXMLout = copy;
    }
    return S_OK;
}
