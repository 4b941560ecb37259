// A world in a fresh temporary folder for one test, removed when the test ends.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "pal/runtime/context.h"
#include "pal/runtime/world.h"

namespace pal::testing {

class TempWorld {
public:
    explicit TempWorld(const WorldOptions& options = {}) {
        auto base = std::filesystem::temp_directory_path();
        std::string tmpl = (base / "velumex-test-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw WorldError("cannot make a temporary folder");
        m_dir = std::filesystem::path(tmpl) / "world";
        m_world = World::Create(m_dir, options);
    }
    ~TempWorld() {
        m_world.reset();
        std::error_code ec;
        std::filesystem::remove_all(m_dir.parent_path(), ec);
    }
    TempWorld(const TempWorld&) = delete;
    TempWorld& operator=(const TempWorld&) = delete;

    World& Get() { return *m_world; }
    Machine& Desktop() { return m_world->Desktop(); }
    Machine& Device() { return m_world->Device(); }
    const std::filesystem::path& Dir() const { return m_dir; }

    // Closes the world (saving everything) and opens it again, as a new run of a program would.
    void Reopen() {
        m_world.reset();
        m_world = World::Open(m_dir);
    }

private:
    std::filesystem::path m_dir;
    std::unique_ptr<World> m_world;
};

// A test with a fresh world whose desktop is the current machine of the test's thread.
class DesktopTest : public ::testing::Test {
protected:
    DesktopTest() : m_context(std::in_place, m_world.Desktop()) {}
    ~DesktopTest() override { m_context.reset(); }
    // Makes `machine` the current machine for the rest of the test.
    void Use(Machine& machine) {
        m_context.reset();
        m_context.emplace(machine);
    }
    // Reopens the world and makes its machine of the same name current again.
    void Reopen() {
        std::string name = CurrentMachine().Name();
        m_context.reset();
        m_world.Reopen();
        m_context.emplace(*m_world.Get().Find(name));
    }

    TempWorld m_world;
    std::optional<ScopedContext> m_context;
};

// The same with the device as the current machine.
class DeviceTest : public DesktopTest {
protected:
    DeviceTest() { Use(m_world.Device()); }
};

}  // namespace pal::testing
