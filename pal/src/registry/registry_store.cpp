#include "pal/runtime/registry_store.h"

#include <mutex>

#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "reg_file.h"
#include "registry_state.h"

namespace pal {

namespace {

using reg::Key;
using reg::Root;

struct ParsedPath {
    Root root;
    std::u16string rootName;  // long form
    std::vector<std::u16string_view> names;
};

ParsedPath ParsePath(std::u16string_view keyPath) {
    size_t slash = keyPath.find(u'\\');
    std::u16string_view root = keyPath.substr(0, slash);
    ParsedPath parsed;
    if (EqualsNoCase(root, u"HKLM") || EqualsNoCase(root, u"HKEY_LOCAL_MACHINE"))
        parsed = {Root::LocalMachine, u"HKEY_LOCAL_MACHINE", {}};
    else if (EqualsNoCase(root, u"HKCU") || EqualsNoCase(root, u"HKEY_CURRENT_USER"))
        parsed = {Root::CurrentUser, u"HKEY_CURRENT_USER", {}};
    else if (EqualsNoCase(root, u"HKCR") || EqualsNoCase(root, u"HKEY_CLASSES_ROOT"))
        parsed = {Root::ClassesRoot, u"HKEY_CLASSES_ROOT", {}};
    else
        throw RegistryError("unknown registry root '" + U8(root) + "' in " + U8(keyPath) +
                            " (use HKLM, HKCU or HKCR)");
    if (slash != std::u16string_view::npos &&
        (!reg::SplitKeyPath(keyPath.substr(slash + 1), parsed.names)))
        throw RegistryError("malformed key path " + U8(keyPath));
    for (auto name : parsed.names)
        if (!reg::IsValidKeyName(name))
            throw RegistryError("key name longer than " + std::to_string(reg::kMaxKeyNameLength) +
                                " characters in " + U8(keyPath));
    return parsed;
}

std::shared_ptr<Key> FindKey(reg::RegistryState& state, const ParsedPath& path) {
    auto key = state.RootKey(path.root);
    for (auto name : path.names) {
        key = key->FindSubkey(name);
        if (!key) return nullptr;
    }
    return key;
}

std::shared_ptr<Key> RequireKey(reg::RegistryState& state, std::u16string_view keyPath) {
    auto key = FindKey(state, ParsePath(keyPath));
    if (!key) throw RegistryError("no key " + U8(keyPath));
    return key;
}

// The key's full name from the root the caller named, with the stored case of each name.
std::u16string FullName(const ParsedPath& path, const std::shared_ptr<Key>& key) {
    std::u16string name = path.rootName;
    std::vector<const Key*> chain;
    const Key* k = key.get();
    for (size_t i = 0; i < path.names.size(); ++i, k = k->parent) chain.push_back(k);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) name += u"\\" + (*it)->name;
    return name;
}

}  // namespace

RegistryStore::RegistryStore(Machine& machine) : m_machine(machine) { reg::StateOf(machine); }

bool RegistryStore::KeyExists(std::u16string_view keyPath) {
    auto& state = reg::StateOf(m_machine);
    std::lock_guard<std::recursive_mutex> guard(state.Lock());
    return FindKey(state, ParsePath(keyPath)) != nullptr;
}

void RegistryStore::CreateKey(std::u16string_view keyPath) {
    auto& state = reg::StateOf(m_machine);
    std::lock_guard<std::recursive_mutex> guard(state.Lock());
    auto path = ParsePath(keyPath);
    auto key = state.RootKey(path.root);
    for (auto name : path.names) {
        bool created = false;
        key = key->AddSubkey(name, created);
        if (created) state.Touch(*key);
    }
}

bool RegistryStore::DeleteKey(std::u16string_view keyPath) {
    auto& state = reg::StateOf(m_machine);
    std::lock_guard<std::recursive_mutex> guard(state.Lock());
    auto key = FindKey(state, ParsePath(keyPath));
    if (!key) return false;
    if (!key->parent) throw RegistryError("a hive's root cannot be deleted");
    Key& owner = *key->parent;
    owner.RemoveSubkey(*key);
    state.Touch(owner);
    return true;
}

std::optional<RegistryValue> RegistryStore::GetValue(std::u16string_view keyPath,
                                                     std::u16string_view name) {
    auto& state = reg::StateOf(m_machine);
    std::lock_guard<std::recursive_mutex> guard(state.Lock());
    auto key = FindKey(state, ParsePath(keyPath));
    if (!key) return std::nullopt;
    reg::Value* value = key->FindValue(name);
    if (!value) return std::nullopt;
    return RegistryValue{value->name, value->type, value->data};
}

void RegistryStore::SetValue(std::u16string_view keyPath, std::u16string_view name, DWORD type,
                             std::vector<BYTE> data) {
    auto& state = reg::StateOf(m_machine);
    std::lock_guard<std::recursive_mutex> guard(state.Lock());
    CreateKey(keyPath);
    auto key = FindKey(state, ParsePath(keyPath));
    key->SetValue(name, type, std::move(data));
    state.Touch(*key);
}

void RegistryStore::SetString(std::u16string_view keyPath, std::u16string_view name,
                              std::u16string_view text, DWORD type) {
    std::vector<BYTE> data;
    for (char16_t u : text) {
        data.push_back(static_cast<BYTE>(u & 0xFF));
        data.push_back(static_cast<BYTE>(u >> 8));
    }
    data.push_back(0);
    data.push_back(0);
    SetValue(keyPath, name, type, std::move(data));
}

void RegistryStore::SetDword(std::u16string_view keyPath, std::u16string_view name, DWORD value) {
    SetValue(keyPath, name, REG_DWORD,
             {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
              static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)});
}

std::optional<std::u16string> RegistryStore::GetString(std::u16string_view keyPath,
                                                       std::u16string_view name) {
    auto value = GetValue(keyPath, name);
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return std::nullopt;
    std::u16string text;
    for (size_t i = 0; i + 1 < value->data.size(); i += 2) {
        auto unit = static_cast<char16_t>(value->data[i] | value->data[i + 1] << 8);
        if (!unit) break;
        text += unit;
    }
    return text;
}

std::optional<DWORD> RegistryStore::GetDword(std::u16string_view keyPath,
                                             std::u16string_view name) {
    auto value = GetValue(keyPath, name);
    if (!value || value->type != REG_DWORD || value->data.size() != 4) return std::nullopt;
    return static_cast<DWORD>(value->data[0] | value->data[1] << 8 | value->data[2] << 16 |
                              static_cast<DWORD>(value->data[3]) << 24);
}

bool RegistryStore::DeleteValue(std::u16string_view keyPath, std::u16string_view name) {
    auto& state = reg::StateOf(m_machine);
    std::lock_guard<std::recursive_mutex> guard(state.Lock());
    auto key = FindKey(state, ParsePath(keyPath));
    if (!key || !key->RemoveValue(name)) return false;
    state.Touch(*key);
    return true;
}

std::vector<std::u16string> RegistryStore::SubkeyNames(std::u16string_view keyPath) {
    auto& state = reg::StateOf(m_machine);
    std::lock_guard<std::recursive_mutex> guard(state.Lock());
    std::vector<std::u16string> names;
    for (auto& child : RequireKey(state, keyPath)->subkeys) names.push_back(child->name);
    return names;
}

std::vector<RegistryValue> RegistryStore::Values(std::u16string_view keyPath) {
    auto& state = reg::StateOf(m_machine);
    std::lock_guard<std::recursive_mutex> guard(state.Lock());
    std::vector<RegistryValue> values;
    for (auto& value : RequireKey(state, keyPath)->values)
        values.push_back({value.name, value.type, value.data});
    return values;
}

std::u16string RegistryStore::Export(std::u16string_view keyPath) {
    auto& state = reg::StateOf(m_machine);
    std::lock_guard<std::recursive_mutex> guard(state.Lock());
    auto path = ParsePath(keyPath);
    auto key = RequireKey(state, keyPath);
    std::u16string out(reg::kRegFileHeader);
    out += u"\r\n\r\n";
    reg::AppendKeyBlocks(out, *key, FullName(path, key), true);
    return out;
}

std::u16string RegistryStore::ExportValue(std::u16string_view keyPath, std::u16string_view name) {
    auto& state = reg::StateOf(m_machine);
    std::lock_guard<std::recursive_mutex> guard(state.Lock());
    auto path = ParsePath(keyPath);
    auto key = RequireKey(state, keyPath);
    reg::Value* value = key->FindValue(name);
    if (!value)
        throw RegistryError("no value " + (name.empty() ? std::string("(default)") : U8(name)) +
                            " in " + U8(keyPath));
    std::u16string out(reg::kRegFileHeader);
    out += u"\r\n\r\n" + reg::FormatKeyLine(FullName(path, key)) + u"\r\n" +
           reg::FormatValueLine(*value) + u"\r\n";
    return out;
}

void RegistryStore::Flush() { reg::StateOf(m_machine).Flush(); }

}  // namespace pal
