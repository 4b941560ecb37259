// A throw-away world in a temporary folder, with its device machine current on this thread.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "pal/runtime/context.h"
#include "pal/runtime/world.h"

struct BenchDeviceWorld {
    BenchDeviceWorld() {
        std::string folder = (std::filesystem::temp_directory_path() / "velumex-bench-XXXXXX");
        if (!::mkdtemp(folder.data())) throw std::runtime_error("no temporary folder");
        dir = std::filesystem::path(folder);
        world = pal::World::Create(dir / "world");
        context.emplace(world->Device());
    }
    ~BenchDeviceWorld() {
        context.reset();
        world.reset();
        std::filesystem::remove_all(dir);
    }
    BenchDeviceWorld(const BenchDeviceWorld&) = delete;
    BenchDeviceWorld& operator=(const BenchDeviceWorld&) = delete;

    std::filesystem::path dir;
    std::unique_ptr<pal::World> world;
    std::optional<pal::ScopedContext> context;
};
