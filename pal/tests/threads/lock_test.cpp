#include <memory>
#include <vector>

#include "pal/runtime/context.h"
#include "pal/runtime/thread.h"
#include "pal/sync.h"
#include "pal/threads.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

using testing::DesktopTest;

class LockTest : public DesktopTest {
protected:
    // Runs `body` on `count` threads at once and waits for all of them.
    void RunConcurrently(int count, const std::function<void()>& body) {
        std::vector<std::shared_ptr<Waitable>> threads;
        for (int i = 0; i < count; ++i)
            threads.push_back(StartThread(CurrentMachine(), CurrentProcessPtr(), [&] {
                body();
                return 0u;
            }));
        EXPECT_EQ(WaitForObjects(threads, true, INFINITE), WAIT_OBJECT_0);
    }
};

struct Log {
    CRITICAL_SECTION lock;
    long lines = 0;
};

TEST_F(LockTest, CriticalSectionIsRecursiveAndExcludesOtherThreads) {
    Log log;
    InitializeCriticalSection(&log.lock);
    EnterCriticalSection(&log.lock);
    EXPECT_TRUE(TryEnterCriticalSection(&log.lock));
    auto otherTries = [&] {
        BOOL entered = FALSE;
        RunConcurrently(1, [&] {
            entered = TryEnterCriticalSection(&log.lock);
            if (entered) LeaveCriticalSection(&log.lock);
        });
        return entered;
    };
    EXPECT_FALSE(otherTries());
    LeaveCriticalSection(&log.lock);
    EXPECT_FALSE(otherTries());
    LeaveCriticalSection(&log.lock);
    EXPECT_TRUE(otherTries());
    DeleteCriticalSection(&log.lock);
}

TEST_F(LockTest, CriticalSectionSerialisesUpdates) {
    Log log;
    InitializeCriticalSection(&log.lock);
    RunConcurrently(4, [&] {
        for (int i = 0; i < 20000; ++i) {
            EnterCriticalSection(&log.lock);
            long seen = log.lines;
            log.lines = seen + 1;
            LeaveCriticalSection(&log.lock);
        }
    });
    EXPECT_EQ(log.lines, 80000);
    DeleteCriticalSection(&log.lock);
}

TEST_F(LockTest, InterlockedOperationsReturnWhatWin32Returns) {
    LONG value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6);
    EXPECT_EQ(InterlockedDecrement(&value), 5);
    EXPECT_EQ(InterlockedExchange(&value, 9), 5);
    EXPECT_EQ(value, 9);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 8), 9);  // no match: unchanged
    EXPECT_EQ(value, 9);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 9), 9);
    EXPECT_EQ(value, 1);
    LONG zero = 0;
    EXPECT_EQ(InterlockedDecrement(&zero), -1);
}

TEST_F(LockTest, InterlockedOperationsHoldUnderContention) {
    volatile LONG references = 1;  // the test's own reference keeps it above zero
    volatile LONG sawZero = 0;
    volatile LONG viaExchange = 0;
    RunConcurrently(4, [&] {
        for (int i = 0; i < 50000; ++i) {
            InterlockedIncrement(&references);
            if (InterlockedDecrement(&references) <= 0) InterlockedIncrement(&sawZero);
            LONG seen;
            do seen = viaExchange;
            while (InterlockedCompareExchange(&viaExchange, seen + 2, seen) != seen);
        }
    });
    EXPECT_EQ(sawZero, 0);
    EXPECT_EQ(InterlockedDecrement(&references), 0);
    EXPECT_EQ(viaExchange, 400000);
}

}  // namespace
}  // namespace pal
