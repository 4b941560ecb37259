// A throw-away world with a desktop and a device in a temporary folder, no machine current.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "pal/runtime/world.h"

class SyncWorld {
public:
    SyncWorld() {
        std::string folder = (std::filesystem::temp_directory_path() / "velumex-bench-XXXXXX");
        if (!::mkdtemp(folder.data())) throw std::runtime_error("no temporary folder");
        m_dir = std::filesystem::path(folder);
        m_world = pal::World::Create(m_dir / "world");
    }
    ~SyncWorld() {
        m_world.reset();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    SyncWorld(const SyncWorld&) = delete;
    SyncWorld& operator=(const SyncWorld&) = delete;

    pal::World& Get() { return *m_world; }
    pal::Machine& Desktop() { return m_world->Desktop(); }
    pal::Machine& Device() { return m_world->Device(); }

private:
    std::filesystem::path m_dir;
    std::unique_ptr<pal::World> m_world;
};
