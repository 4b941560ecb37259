#include "registry_state.h"

#include "pal/runtime/machine.h"
#include "pal/runtime/machine_stores.h"
#include "pal/runtime/registry_store.h"
#include "pal/runtime/world.h"
#include "reg_file.h"

namespace pal::reg {

RegistryState::RegistryState(Machine& machine)
    : m_machine(machine), m_device(!machine.IsDesktop()) {
    m_hives[0] = {u"HKEY_LOCAL_MACHINE", "HKLM.reg", std::make_shared<Key>(), false};
    m_hives[1] = {u"HKEY_CURRENT_USER", "HKCU.reg", std::make_shared<Key>(), false};
    for (int i = 0; i < 2; ++i) {
        Hive& hive = m_hives[i];
        hive.root->hive = i;
        hive.root->lastWrite = machine.NowUtc();
        auto path = machine.Dir() / hive.fileName;
        std::u16string text;
        try {
            if (!CheckStore(machine, hive.fileName)) continue;
            ReadHiveFile(path, text);
            ParseHive(text, hive.name, *hive.root, path.string());
            // A hive that loaded is recorded, so that losing it later is told from never having it.
            RecordStore(machine, hive.fileName);
        } catch (const WorldError& damaged) {
            throw RegistryError(damaged.what());
        }
    }
}

std::shared_ptr<Key> RegistryState::RootKey(Root root) {
    if (root == Root::CurrentUser) return m_hives[1].root;
    auto key = m_hives[0].root;
    if (root == Root::LocalMachine) return key;
    for (const char16_t* name : {u"SOFTWARE", u"Classes"}) {
        bool created = false;
        key = key->AddSubkey(name, created);
        if (created) Touch(*key);
    }
    return key;
}

std::u16string RegistryState::HiveName(const Key& key) const { return m_hives[key.hive].name; }

void RegistryState::Touch(Key& key) {
    key.lastWrite = m_machine.NowUtc();
    m_hives[key.hive].dirty = true;
}

void RegistryState::WriteHive(Hive& hive) {
    WriteHiveFile(m_machine.Dir() / hive.fileName, FormatHive(*hive.root, hive.name));
    hive.dirty = false;
    try {
        RecordStore(m_machine, hive.fileName);
    } catch (const WorldError& failed) {
        throw RegistryError(failed.what());
    }
}

void RegistryState::FlushHive(const Key& key) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    WriteHive(m_hives[key.hive]);
}

void RegistryState::Flush() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    for (auto& hive : m_hives)
        if (hive.dirty) WriteHive(hive);
}

RegistryState& StateOf(Machine& machine) { return machine.Get<RegistryState>(); }

}  // namespace pal::reg
