#include "registry_tree.h"

#include <algorithm>

#include "pal/runtime/encoding.h"

namespace pal::reg {

namespace {

void MarkDeleted(Key& key) {
    key.deleted = true;
    key.parent = nullptr;
    for (auto& child : key.subkeys) MarkDeleted(*child);
    key.subkeys.clear();
    key.values.clear();
}

}  // namespace

std::shared_ptr<Key> Key::FindSubkey(std::u16string_view child) const {
    auto it = std::lower_bound(subkeys.begin(), subkeys.end(), child,
                               [](const std::shared_ptr<Key>& k, std::u16string_view n) {
                                   return CompareNoCase(k->name, n) < 0;
                               });
    if (it != subkeys.end() && EqualsNoCase((*it)->name, child)) return *it;
    return nullptr;
}

std::shared_ptr<Key> Key::AddSubkey(std::u16string_view child, bool& created) {
    auto it = std::lower_bound(subkeys.begin(), subkeys.end(), child,
                               [](const std::shared_ptr<Key>& k, std::u16string_view n) {
                                   return CompareNoCase(k->name, n) < 0;
                               });
    if (it != subkeys.end() && EqualsNoCase((*it)->name, child)) {
        created = false;
        return *it;
    }
    auto key = std::make_shared<Key>();
    key->name = child;
    key->hive = hive;
    key->parent = this;
    key->lastWrite = lastWrite;
    subkeys.insert(it, key);
    created = true;
    return key;
}

void Key::RemoveSubkey(const Key& child) {
    for (auto it = subkeys.begin(); it != subkeys.end(); ++it)
        if (it->get() == &child) {
            auto doomed = *it;
            subkeys.erase(it);
            MarkDeleted(*doomed);
            return;
        }
}

Value* Key::FindValue(std::u16string_view valueName) {
    for (auto& value : values)
        if (EqualsNoCase(value.name, valueName)) return &value;
    return nullptr;
}

void Key::SetValue(std::u16string_view valueName, DWORD type, std::vector<BYTE> data) {
    if (Value* existing = FindValue(valueName)) {
        existing->type = type;
        existing->data = std::move(data);
        return;
    }
    values.push_back({std::u16string(valueName), type, std::move(data)});
}

bool Key::RemoveValue(std::u16string_view valueName) {
    for (auto it = values.begin(); it != values.end(); ++it)
        if (EqualsNoCase(it->name, valueName)) {
            values.erase(it);
            return true;
        }
    return false;
}

std::u16string Key::PathBelowRoot() const {
    std::vector<const Key*> chain;
    for (const Key* k = this; k && k->parent; k = k->parent) chain.push_back(k);
    std::u16string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty()) path += u'\\';
        path += (*it)->name;
    }
    return path;
}

bool SplitKeyPath(std::u16string_view path, std::vector<std::u16string_view>& names) {
    names.clear();
    if (path.empty()) return true;
    if (path.front() == u'\\') return false;
    if (path.back() == u'\\') path.remove_suffix(1);
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(u'\\', start);
        if (end == std::u16string_view::npos) end = path.size();
        if (end == start) return false;
        names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

}  // namespace pal::reg
