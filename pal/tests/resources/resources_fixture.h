// Tests with the fixture module loaded into the current process, as LoadLibrary would load it.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "fixture_ids.h"
#include "pal/runtime/context.h"
#include "pal/runtime/module.h"
#include "pal/runtime/process.h"
#include "pal_testing/temp_world.h"
#include "windows.h"

namespace pal::testing {

// Loads the fixture module into the current process and answers its handle.
inline HMODULE LoadFixtureModule(std::u16string windowsPath = u"C:\\Velumex\\Fixture.dll") {
    void* host = ::dlopen(FIXTURE_MODULE, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(host, nullptr) << ::dlerror();
    auto module = std::make_unique<Module>(host, std::move(windowsPath), FIXTURE_MODULE);
    return CurrentProcess().Get<ModuleTable>().Add(std::move(module))->Handle();
}

class ResourcesTest : public DesktopTest {
protected:
    HMODULE m_module = LoadFixtureModule();
};

class DeviceResourcesTest : public DeviceTest {
protected:
    HMODULE m_module = LoadFixtureModule(u"\\Windows\\Fixture.dll");
};

}  // namespace pal::testing
