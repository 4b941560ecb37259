// Tests with a resource module loaded into the current desktop process, as LoadLibrary would load
// it, and the machine's dialog drivers at hand.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>

#include "pal/runtime/context.h"
#include "pal/runtime/dialog_driver.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/module.h"
#include "pal/runtime/process.h"
#include "pal_testing/temp_world.h"
#include "windows.h"

namespace velumex::testing {

class DialogModuleTest : public pal::testing::DesktopTest {
protected:
    DialogModuleTest(const char* hostPath, const char16_t* windowsPath) {
        void* host = ::dlopen(hostPath, RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(host, nullptr) << ::dlerror();
        auto module = std::make_unique<pal::Module>(host, windowsPath, hostPath);
        m_module = pal::CurrentProcess().Get<pal::ModuleTable>().Add(std::move(module))->Handle();
    }

    pal::DialogDrivers& Drivers() { return pal::CurrentMachine().Get<pal::DialogDrivers>(); }

    HMODULE m_module = nullptr;
};

}  // namespace velumex::testing
