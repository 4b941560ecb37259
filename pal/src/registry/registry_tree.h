// The in-memory form of a hive: keys with case-preserving names, subkeys kept in name order
// (compared without regard to case) and values in the order they were first set.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pal/types.h"

namespace pal::reg {

struct Value {
    std::u16string name;  // empty: the key's default value
    DWORD type = 0;
    std::vector<BYTE> data;
};

struct Key {
    std::u16string name;
    int hive = 0;
    Key* parent = nullptr;  // null for a hive's root and for deleted keys
    bool deleted = false;
    ULONGLONG lastWrite = 0;
    std::vector<std::shared_ptr<Key>> subkeys;
    std::vector<Value> values;

    std::shared_ptr<Key> FindSubkey(std::u16string_view name) const;
    // The existing subkey of that name, or a new one inserted in name order.
    std::shared_ptr<Key> AddSubkey(std::u16string_view name, bool& created);
    // Detaches a direct subkey and marks it and everything below it deleted.
    void RemoveSubkey(const Key& child);
    Value* FindValue(std::u16string_view name);
    // Replaces the value of that name (keeping its position) or appends a new one.
    void SetValue(std::u16string_view name, DWORD type, std::vector<BYTE> data);
    bool RemoveValue(std::u16string_view name);
    // The key's path below its hive's root, names joined with '\'.
    std::u16string PathBelowRoot() const;
};

// Splits a subkey path into its names. A trailing '\' is allowed; a leading '\' or an empty
// name inside the path makes it malformed (nothing is returned then).
bool SplitKeyPath(std::u16string_view path, std::vector<std::u16string_view>& names);

// The longest key name the registry keeps.
inline constexpr size_t kMaxKeyNameLength = 255;
// A name a key can have: 1 to 255 characters, none of them '\'.
inline bool IsValidKeyName(std::u16string_view name) {
    return !name.empty() && name.size() <= kMaxKeyNameLength &&
           name.find(u'\\') == std::u16string_view::npos;
}

}  // namespace pal::reg
