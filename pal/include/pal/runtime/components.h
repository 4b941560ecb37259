// Per-owner extension state: each platform family keeps the state it needs on a machine or a
// process as a component, created on first use and flushed when its owner is saved.
#pragma once

#include <memory>
#include <mutex>
#include <typeindex>
#include <utility>
#include <vector>

namespace pal {

class Component {
public:
    virtual ~Component() = default;
    // Writes whatever the component persists; called by the owner's Flush, in creation order.
    virtual void Flush() {}
};

template <class Owner>
class ComponentSet {
public:
    // The owner's component of type T, constructed as T(owner) on first use.
    template <class T>
    T& Get(Owner& owner) {
        std::lock_guard<std::recursive_mutex> guard(m_lock);
        for (auto& [type, component] : m_components)
            if (type == std::type_index(typeid(T))) return static_cast<T&>(*component);
        auto created = std::make_unique<T>(owner);
        T& result = *created;
        m_components.emplace_back(std::type_index(typeid(T)), std::move(created));
        return result;
    }
    template <class T>
    T* Find() {
        std::lock_guard<std::recursive_mutex> guard(m_lock);
        for (auto& [type, component] : m_components)
            if (type == std::type_index(typeid(T))) return static_cast<T*>(component.get());
        return nullptr;
    }
    void FlushAll() {
        std::lock_guard<std::recursive_mutex> guard(m_lock);
        for (auto& entry : m_components) entry.second->Flush();
    }
    // Destroys components newest first, so later ones may still use earlier ones.
    void Clear() {
        std::vector<std::pair<std::type_index, std::unique_ptr<Component>>> doomed;
        {
            std::lock_guard<std::recursive_mutex> guard(m_lock);
            doomed.swap(m_components);
        }
        while (!doomed.empty()) doomed.pop_back();
    }
    ~ComponentSet() { Clear(); }

private:
    std::recursive_mutex m_lock;
    std::vector<std::pair<std::type_index, std::unique_ptr<Component>>> m_components;
};

}  // namespace pal
