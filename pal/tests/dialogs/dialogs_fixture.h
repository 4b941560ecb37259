// Tests with the dialog fixture module loaded into the current process, as LoadLibrary would
// load it, and the machine's dialog and message-box drivers at hand.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>

#include "dialog_ids.h"
#include "pal/runtime/context.h"
#include "pal/runtime/dialog_driver.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/message_boxes.h"
#include "pal/runtime/module.h"
#include "pal/runtime/process.h"
#include "pal_testing/temp_world.h"
#include "windows.h"

namespace pal::testing {

class DialogTest : public DesktopTest {
protected:
    DialogTest() {
        void* host = ::dlopen(DIALOGS_FIXTURE_MODULE, RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(host, nullptr) << ::dlerror();
        auto module =
            std::make_unique<Module>(host, u"C:\\Velumex\\Dialogs.dll", DIALOGS_FIXTURE_MODULE);
        m_module = CurrentProcess().Get<ModuleTable>().Add(std::move(module))->Handle();
    }

    DialogDrivers& Drivers() { return CurrentMachine().Get<DialogDrivers>(); }
    MessageBoxes& Boxes() { return CurrentMachine().Get<MessageBoxes>(); }

    HMODULE m_module = nullptr;
};

}  // namespace pal::testing
