// A machine's registry: its two hives (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER) loaded from the
// machine folder on first use and written back when flushed. One lock guards every key of the
// machine; callers hold it for the whole of each operation.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <string>

#include "pal/runtime/components.h"
#include "registry_tree.h"

namespace pal {
class Machine;
}

namespace pal::reg {

enum class Root { LocalMachine, CurrentUser, ClassesRoot };

class RegistryState : public Component {
public:
    // Loads both hives; throws RegistryError when a hive file is malformed.
    explicit RegistryState(Machine& machine);

    std::recursive_mutex& Lock() { return m_lock; }
    bool IsDevice() const { return m_device; }

    // The key a root stands for; HKEY_CLASSES_ROOT is HKLM\SOFTWARE\Classes, created when missing.
    std::shared_ptr<Key> RootKey(Root root);
    // The long name of the hive a key lies in ("HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER").
    std::u16string HiveName(const Key& key) const;
    // Records a change to `key` (its hive will be written on the next flush).
    void Touch(Key& key);

    // Writes the key's hive to its file now; throws RegistryError when that fails.
    void FlushHive(const Key& key);
    // Writes every changed hive.
    void Flush() override;

private:
    struct Hive {
        std::u16string name;
        std::string fileName;
        std::shared_ptr<Key> root;
        bool dirty = false;
    };

    void WriteHive(Hive& hive);

    Machine& m_machine;
    bool m_device;
    std::recursive_mutex m_lock;
    std::array<Hive, 2> m_hives;
};

// The machine's registry; throws RegistryError when a hive file is malformed.
RegistryState& StateOf(Machine& machine);

}  // namespace pal::reg
