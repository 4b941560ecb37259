#include "pal/runtime/handles.h"

namespace pal {

HANDLE HandleTable::Add(std::shared_ptr<KernelObject> object) {
    std::lock_guard<std::mutex> guard(m_lock);
    auto handle = reinterpret_cast<HANDLE>(m_next);
    m_next += 4;
    m_handles.emplace(handle, std::move(object));
    return handle;
}

std::shared_ptr<KernelObject> HandleTable::Get(HANDLE handle) const {
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_handles.find(handle);
    return it == m_handles.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> HandleTable::Remove(HANDLE handle) {
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_handles.find(handle);
    if (it == m_handles.end()) return nullptr;
    auto object = std::move(it->second);
    m_handles.erase(it);
    return object;
}

std::map<HANDLE, std::shared_ptr<KernelObject>> HandleTable::TakeAll() {
    std::lock_guard<std::mutex> guard(m_lock);
    std::map<HANDLE, std::shared_ptr<KernelObject>> all;
    all.swap(m_handles);
    return all;
}

size_t HandleTable::Count() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_handles.size();
}

}  // namespace pal
