#include "registry_calls.h"

#include <cstring>
#include <mutex>

#include "pal/runtime/context.h"
#include "pal/runtime/handles.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal/runtime/registry_store.h"
#include "registry_state.h"

namespace pal::reg {

namespace {

constexpr REGSAM kGenericRead = 0x80000000;
constexpr REGSAM kGenericWrite = 0x40000000;
constexpr REGSAM kGenericExecute = 0x20000000;
constexpr REGSAM kGenericAll = 0x10000000;
constexpr REGSAM kMaximumAllowed = 0x02000000;

// An open key of the current process: what a key handle refers to.
class KeyHandle : public KernelObject {
public:
    KeyHandle(std::shared_ptr<Key> key, REGSAM access) : m_key(std::move(key)), m_access(access) {}
    const std::shared_ptr<Key>& GetKey() const { return m_key; }
    REGSAM Access() const { return m_access; }

private:
    std::shared_ptr<Key> m_key;
    REGSAM m_access;
};

// Generic rights mapped to key rights, as the desktop grants them.
REGSAM MapAccess(REGSAM access) {
    REGSAM mapped = access & 0x00FFFFFF & ~kMaximumAllowed;
    if (access & kGenericRead) mapped |= KEY_READ;
    if (access & kGenericWrite) mapped |= KEY_WRITE;
    if (access & kGenericExecute) mapped |= KEY_EXECUTE;
    if (access & (kGenericAll | kMaximumAllowed)) mapped |= KEY_ALL_ACCESS;
    return mapped;
}

std::optional<Root> PredefinedRoot(HKEY hKey) {
    if (hKey == HKEY_LOCAL_MACHINE) return Root::LocalMachine;
    if (hKey == HKEY_CURRENT_USER) return Root::CurrentUser;
    if (hKey == HKEY_CLASSES_ROOT) return Root::ClassesRoot;
    return std::nullopt;
}

// A key handle resolved in the current machine and process, with the machine's registry locked
// for as long as this lives.
class OpenedKey {
public:
    OpenedKey(HKEY hKey, REGSAM needed) {
        try {
            m_state = &StateOf(CurrentMachine());
        } catch (const RegistryError&) {
            m_error = ERROR_REGISTRY_CORRUPT;
            return;
        }
        m_guard = std::unique_lock<std::recursive_mutex>(m_state->Lock());
        if (auto root = PredefinedRoot(hKey)) {
            m_key = m_state->RootKey(*root);
            m_access = KEY_ALL_ACCESS;
        } else if (auto handle = CurrentProcess().Handles().GetAs<KeyHandle>(hKey)) {
            m_key = handle->GetKey();
            m_access = handle->Access();
        } else {
            m_error = ERROR_INVALID_HANDLE;
            return;
        }
        if (m_key->deleted)
            m_error = ERROR_KEY_DELETED;
        else if (!Allows(needed))
            m_error = ERROR_ACCESS_DENIED;
    }

    LONG Error() const { return m_error; }
    RegistryState& State() { return *m_state; }
    const std::shared_ptr<Key>& Get() const { return m_key; }
    // Windows CE does not check key access; the desktop does.
    bool Allows(REGSAM needed) const {
        return m_state->IsDevice() || (m_access & needed) == needed;
    }

    // The key at `path` below this one, or null (`error` says why).
    std::shared_ptr<Key> Find(std::u16string_view path, LONG& error) const {
        std::vector<std::u16string_view> names;
        if (!SplitKeyPath(path, names)) {
            error = ERROR_FILE_NOT_FOUND;
            return nullptr;
        }
        std::shared_ptr<Key> key = m_key;
        for (auto name : names) {
            key = key->FindSubkey(name);
            if (!key) {
                error = ERROR_FILE_NOT_FOUND;
                return nullptr;
            }
        }
        return key;
    }

private:
    RegistryState* m_state = nullptr;
    std::unique_lock<std::recursive_mutex> m_guard;
    std::shared_ptr<Key> m_key;
    REGSAM m_access = 0;
    LONG m_error = ERROR_SUCCESS;
};

HKEY AddHandle(std::shared_ptr<Key> key, REGSAM access) {
    auto handle = std::make_shared<KeyHandle>(std::move(key), MapAccess(access));
    return reinterpret_cast<HKEY>(CurrentProcess().Handles().Add(std::move(handle)));
}

}  // namespace

LONG OpenKey(HKEY hKey, std::u16string_view subKey, REGSAM access, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    OpenedKey parent(hKey, 0);
    if (parent.Error() != ERROR_SUCCESS) return parent.Error();
    LONG error = ERROR_SUCCESS;
    auto key = parent.Find(subKey, error);
    if (!key) return error;
    *result = AddHandle(std::move(key), access);
    return ERROR_SUCCESS;
}

LONG CreateKey(HKEY hKey, std::u16string_view subKey, REGSAM access, PHKEY result,
               LPDWORD disposition) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    OpenedKey parent(hKey, 0);
    if (parent.Error() != ERROR_SUCCESS) return parent.Error();
    std::vector<std::u16string_view> names;
    if (!SplitKeyPath(subKey, names)) return ERROR_BAD_PATHNAME;
    for (auto name : names)
        if (!IsValidKeyName(name)) return ERROR_INVALID_PARAMETER;

    std::shared_ptr<Key> key = parent.Get();
    size_t existing = 0;
    while (existing < names.size()) {
        auto next = key->FindSubkey(names[existing]);
        if (!next) break;
        key = std::move(next);
        ++existing;
    }
    if (existing < names.size() && !parent.Allows(KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
    for (size_t i = existing; i < names.size(); ++i) {
        bool created = false;
        key = key->AddSubkey(names[i], created);
        parent.State().Touch(*key);
    }
    if (disposition)
        *disposition = existing < names.size() ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = AddHandle(std::move(key), access);
    return ERROR_SUCCESS;
}

LONG QueryValue(HKEY hKey, std::u16string_view name, DWORD& type, std::vector<BYTE>& data) {
    OpenedKey key(hKey, KEY_QUERY_VALUE);
    if (key.Error() != ERROR_SUCCESS) return key.Error();
    Value* value = key.Get()->FindValue(name);
    if (!value) return ERROR_FILE_NOT_FOUND;
    type = value->type;
    data = value->data;
    return ERROR_SUCCESS;
}

LONG SetValue(HKEY hKey, std::u16string_view name, DWORD type, std::vector<BYTE> data) {
    OpenedKey key(hKey, KEY_SET_VALUE);
    if (key.Error() != ERROR_SUCCESS) return key.Error();
    key.Get()->SetValue(name, type, std::move(data));
    key.State().Touch(*key.Get());
    return ERROR_SUCCESS;
}

LONG DeleteKey(HKEY hKey, std::u16string_view subKey) {
    OpenedKey parent(hKey, 0);
    if (parent.Error() != ERROR_SUCCESS) return parent.Error();
    LONG error = ERROR_SUCCESS;
    auto key = parent.Find(subKey, error);
    if (!key) return error;
    if (!key->parent) return ERROR_ACCESS_DENIED;  // a hive's root
    // The desktop deletes only leaf keys; Windows CE deletes the whole subtree.
    if (!parent.State().IsDevice() && !key->subkeys.empty()) return ERROR_ACCESS_DENIED;
    Key& owner = *key->parent;
    owner.RemoveSubkey(*key);
    parent.State().Touch(owner);
    return ERROR_SUCCESS;
}

LONG DeleteValue(HKEY hKey, std::u16string_view name) {
    OpenedKey key(hKey, KEY_SET_VALUE);
    if (key.Error() != ERROR_SUCCESS) return key.Error();
    if (!key.Get()->RemoveValue(name)) return ERROR_FILE_NOT_FOUND;
    key.State().Touch(*key.Get());
    return ERROR_SUCCESS;
}

LONG EnumKey(HKEY hKey, DWORD index, std::u16string& name, FILETIME* lastWrite) {
    OpenedKey key(hKey, KEY_ENUMERATE_SUB_KEYS);
    if (key.Error() != ERROR_SUCCESS) return key.Error();
    const auto& subkeys = key.Get()->subkeys;
    if (index >= subkeys.size()) return ERROR_NO_MORE_ITEMS;
    name = subkeys[index]->name;
    if (lastWrite) {
        lastWrite->dwLowDateTime = static_cast<DWORD>(subkeys[index]->lastWrite);
        lastWrite->dwHighDateTime = static_cast<DWORD>(subkeys[index]->lastWrite >> 32);
    }
    return ERROR_SUCCESS;
}

LONG CloseKey(HKEY hKey) {
    if (PredefinedRoot(hKey)) return ERROR_SUCCESS;
    auto& handles = CurrentProcess().Handles();
    if (!handles.GetAs<KeyHandle>(hKey)) return ERROR_INVALID_HANDLE;
    handles.Remove(hKey);
    return ERROR_SUCCESS;
}

LONG FlushKey(HKEY hKey) {
    OpenedKey key(hKey, 0);
    if (key.Error() != ERROR_SUCCESS) return key.Error();
    try {
        key.State().FlushHive(*key.Get());
    } catch (const RegistryError&) {
        return ERROR_CANTWRITE;
    }
    return ERROR_SUCCESS;
}

LONG CopyValueOut(DWORD type, const std::vector<BYTE>& data, LPDWORD lpType, LPBYTE lpData,
                  LPDWORD lpcbData) {
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    if (lpType) *lpType = type;
    if (!lpcbData) return ERROR_SUCCESS;
    auto size = static_cast<DWORD>(data.size());
    if (lpData && *lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (lpData && size) std::memcpy(lpData, data.data(), size);
    *lpcbData = size;
    return ERROR_SUCCESS;
}

}  // namespace pal::reg
