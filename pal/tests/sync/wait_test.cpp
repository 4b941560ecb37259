#include <atomic>

#include "other_thread.h"
#include "pal/handleapi.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal/sync.h"
#include "pal/threads.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

using testing::DesktopTest;
using testing::Join;
using testing::Start;

class WaitTest : public DesktopTest {
protected:
    std::shared_ptr<Waitable> Object(HANDLE handle) { return WaitableFromHandle(handle); }
};

TEST_F(WaitTest, BadHandlesFail) {
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    CloseHandle(event);
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    // A kernel object that nobody can wait on.
    HANDLE plain = CurrentProcess().Handles().Add(std::make_shared<KernelObject>());
    EXPECT_EQ(WaitForSingleObject(plain, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(WaitTest, ProcessIsSignalledWhenItExits) {
    auto process = CurrentMachine().CreateProcess(u"C:\\Windows\\wceload.exe");
    HANDLE handle = CurrentProcess().Handles().Add(process);
    EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_TIMEOUT);
    auto exiter = Start([&] {
        process->MarkExited(7);
        return 0u;
    });
    EXPECT_EQ(WaitForSingleObject(handle, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(process->ExitCode(), 7u);
    Join(exiter);
    CloseHandle(handle);
}

TEST_F(WaitTest, WaitForAllTakesEverythingAtOnceOrNothing) {
    HANDLE first = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    HANDLE second = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::shared_ptr<Waitable> both[] = {Object(first), Object(second)};
    EXPECT_EQ(WaitForObjects(both, true, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);  // not consumed by the failed wait
    SetEvent(first);
    auto waiter = Start([&] { return WaitForObjects(both, true, INFINITE); });
    SetEvent(second);
    EXPECT_EQ(Join(waiter), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForObjects(both, false, 0), WAIT_TIMEOUT);
    CloseHandle(first);
    CloseHandle(second);
}

TEST_F(WaitTest, WaitForAnyReportsTheSignalledIndex) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    Join(Start([&] { return WaitForSingleObject(mutex, 0); }));  // ends owning it: abandoned
    std::shared_ptr<Waitable> objects[] = {Object(event), Object(mutex)};
    EXPECT_EQ(WaitForObjects(objects, false, INFINITE), WAIT_ABANDONED_0 + 1);
    EXPECT_EQ(WaitForObjects(objects, false, 0), WAIT_OBJECT_0 + 1);  // now owned twice
    ReleaseMutex(mutex);
    ReleaseMutex(mutex);
    SetEvent(event);
    EXPECT_EQ(WaitForObjects(objects, false, 0), WAIT_OBJECT_0);
    CloseHandle(event);
    CloseHandle(mutex);
}

TEST_F(WaitTest, MalformedWaitsFail) {
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    std::shared_ptr<Waitable> twice[] = {Object(event), Object(event)};
    EXPECT_EQ(WaitForObjects(twice, true, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WaitForObjects(twice, false, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForObjects({}, false, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    std::vector<std::shared_ptr<Waitable>> tooMany(kMaxWaitObjects + 1, Object(event));
    EXPECT_EQ(WaitForObjects(tooMany, false, 0), WAIT_FAILED);
    std::shared_ptr<Waitable> missing[] = {nullptr};
    EXPECT_EQ(WaitForObjects(missing, false, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(event);
}

// A wake-up condition of another kind, guarded by a lock of its own, as a message queue is.
class InputArrived : public Waitable {
public:
    bool IsSignaledFor(DWORD) const override {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_arrived;
    }
    void Arrive() {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_arrived = true;
        }
        WakeWaiters();
    }

private:
    mutable std::mutex m_lock;
    bool m_arrived = false;
};

TEST_F(WaitTest, AnExtraConditionWakesAnObjectWait) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto input = std::make_shared<InputArrived>();
    std::shared_ptr<Waitable> objects[] = {Object(event), input};
    auto waiter = Start([&] { return WaitForObjects(objects, false, INFINITE); });
    input->Arrive();
    EXPECT_EQ(Join(waiter), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST_F(WaitTest, AWaitKeepsItsObjectAliveAfterItsHandleCloses) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    auto object = Object(event);
    std::weak_ptr<Waitable> watch = object;
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto waiter = Start([&, object]() mutable {
        std::shared_ptr<Waitable> objects[] = {std::move(object)};
        SetEvent(started);
        return WaitForObjects(objects, false, INFINITE);
    });
    object.reset();
    WaitForSingleObject(started, INFINITE);
    EXPECT_TRUE(CloseHandle(event));
    ASSERT_FALSE(watch.expired());
    watch.lock()->WakeWaiters();  // nothing signalled: the waiter sleeps on
    EXPECT_FALSE(waiter->HasEnded());
    // Signalling the object through a new handle still releases the waiter.
    HANDLE again = CurrentProcess().Handles().Add(watch.lock());
    SetEvent(again);
    CloseHandle(again);
    EXPECT_EQ(Join(waiter), WAIT_OBJECT_0);
    CloseHandle(started);
}

}  // namespace
}  // namespace pal
