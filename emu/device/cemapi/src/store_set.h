// A device's message stores: the files of WORLD/device/messagestores/, opened on first use and
// kept open for the life of the machine, so that every process of the device works on the same
// store objects.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "pal/runtime/components.h"
#include "store_file.h"

namespace pal {
class Machine;
}

namespace emu::cemapi {

class StoreSet : public pal::Component {
public:
    explicit StoreSet(pal::Machine& machine);

    // A new store file; MessageStoreError for an empty or exactly repeated name.
    std::uint32_t Create(const std::u16string& name);
    // Every store in number order.
    std::vector<std::pair<std::uint32_t, std::shared_ptr<StoreFile>>> All();
    std::shared_ptr<StoreFile> ByNumber(std::uint32_t number);
    std::shared_ptr<StoreFile> ByUid(const StoreUid& uid);

private:
    void LoadLocked();

    std::filesystem::path m_dir;
    std::mutex m_lock;
    bool m_loaded = false;
    std::map<std::uint32_t, std::shared_ptr<StoreFile>> m_stores;
};

StoreSet& StoresOf(pal::Machine& machine);

}  // namespace emu::cemapi
