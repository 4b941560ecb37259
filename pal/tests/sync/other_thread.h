// Runs test code on further emulated threads of the test's machine and process.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "pal/runtime/context.h"
#include "pal/runtime/thread.h"
#include "pal/sync.h"

namespace pal::testing {

// Starts `body` on a new thread; its result becomes the thread's exit code.
inline std::shared_ptr<Thread> Start(std::function<DWORD()> body) {
    return StartThread(CurrentMachine(), CurrentProcessPtr(), std::move(body));
}

// Waits for the thread to end and returns its exit code.
inline DWORD Join(const std::shared_ptr<Thread>& thread) {
    std::shared_ptr<Waitable> objects[] = {thread};
    EXPECT_EQ(WaitForObjects(objects, false, INFINITE), WAIT_OBJECT_0);
    return thread->ExitCode();
}

// Runs `body` on another thread to its end and returns what it returned.
inline DWORD OnOtherThread(std::function<DWORD()> body) { return Join(Start(std::move(body))); }

}  // namespace pal::testing
