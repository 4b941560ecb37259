#include "store_set.h"

#include <string>

#include "mapi_error.h"
#include "pal/runtime/machine.h"

namespace emu::cemapi {

StoreSet::StoreSet(pal::Machine& machine) : m_dir(machine.Dir() / "messagestores") {}

void StoreSet::LoadLocked() {
    if (m_loaded) return;
    m_loaded = true;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir, ec)) {
        const auto& path = entry.path();
        if (path.extension() != ".db") continue;
        auto stem = path.stem().string();
        if (stem.empty() || stem.find_first_not_of("0123456789") != std::string::npos) continue;
        try {
            m_stores[static_cast<std::uint32_t>(std::stoul(stem))] = StoreFile::Open(path);
        } catch (const MapiError&) {
            // A damaged file is no store; it stays on disk untouched.
        } catch (const std::out_of_range&) {
        }
    }
}

std::uint32_t StoreSet::Create(const std::u16string& name) {
    if (name.empty()) throw MessageStoreError("a message store needs a name");
    std::lock_guard<std::mutex> guard(m_lock);
    LoadLocked();
    for (auto& [number, store] : m_stores)
        if (store->Name() == name) throw MessageStoreError("a message store of that name exists");
    std::uint32_t number = m_stores.empty() ? 1 : m_stores.rbegin()->first + 1;
    std::error_code ec;
    std::filesystem::create_directories(m_dir, ec);
    auto file = m_dir / (std::to_string(number) + ".db");
    try {
        m_stores[number] = StoreFile::Create(file, name);
    } catch (const MapiError&) {
        std::filesystem::remove(file, ec);
        throw MessageStoreError("the message store file cannot be written: " + file.string());
    }
    return number;
}

std::vector<std::pair<std::uint32_t, std::shared_ptr<StoreFile>>> StoreSet::All() {
    std::lock_guard<std::mutex> guard(m_lock);
    LoadLocked();
    return {m_stores.begin(), m_stores.end()};
}

std::shared_ptr<StoreFile> StoreSet::ByNumber(std::uint32_t number) {
    std::lock_guard<std::mutex> guard(m_lock);
    LoadLocked();
    auto it = m_stores.find(number);
    return it == m_stores.end() ? nullptr : it->second;
}

std::shared_ptr<StoreFile> StoreSet::ByUid(const StoreUid& uid) {
    std::lock_guard<std::mutex> guard(m_lock);
    LoadLocked();
    for (auto& [number, store] : m_stores)
        if (store->Uid() == uid) return store;
    return nullptr;
}

StoreSet& StoresOf(pal::Machine& machine) { return machine.Get<StoreSet>(); }

}  // namespace emu::cemapi
