#include "pal/handleapi.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal/runtime/thread.h"
#include "pal/sync.h"
#include "pal/threads.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

using testing::DesktopTest;
using testing::DeviceTest;

DWORD RunAndJoin(std::function<DWORD()> body) {
    auto thread = StartThread(CurrentMachine(), CurrentProcessPtr(), std::move(body));
    std::shared_ptr<Waitable> objects[] = {thread};
    EXPECT_EQ(WaitForObjects(objects, false, INFINITE), WAIT_OBJECT_0);
    return thread->ExitCode();
}

class TlsTest : public DesktopTest {};

TEST_F(TlsTest, EachThreadHasItsOwnValue) {
    DWORD index = TlsAlloc();
    ASSERT_NE(index, TLS_OUT_OF_INDEXES);
    int mine = 0, theirs = 0;
    SetLastError(ERROR_INVALID_DATA);
    EXPECT_EQ(TlsGetValue(index), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(TlsSetValue(index, &mine));
    EXPECT_EQ(RunAndJoin([&]() -> DWORD {
                  if (TlsGetValue(index) != nullptr) return 1;
                  TlsSetValue(index, &theirs);
                  return TlsGetValue(index) == &theirs ? 0 : 2;
              }),
              0u);
    EXPECT_EQ(TlsGetValue(index), &mine);
    EXPECT_TRUE(TlsFree(index));
}

TEST_F(TlsTest, FreedIndexesFailAndComeBackEmpty) {
    DWORD index = TlsAlloc();
    int value = 0;
    TlsSetValue(index, &value);
    EXPECT_TRUE(TlsFree(index));
    EXPECT_EQ(TlsGetValue(index), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(TlsSetValue(index, &value));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(TlsFree(index));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(TlsFree(5000));

    DWORD again = TlsAlloc();
    EXPECT_EQ(again, index);
    EXPECT_EQ(TlsGetValue(again), nullptr);
    TlsFree(again);
}

TEST_F(TlsTest, IndexesBelongToTheProcess) {
    DWORD here = TlsAlloc();
    auto other = CurrentMachine().CreateProcess(u"C:\\Windows\\other.exe");
    ScopedContext inOther(CurrentMachine(), other);
    EXPECT_EQ(TlsAlloc(), here);  // the other process's first index, too
    EXPECT_TRUE(TlsFree(here));
    EXPECT_FALSE(TlsFree(here));
}

class DeviceTlsTest : public DeviceTest {};

TEST_F(DeviceTlsTest, RunsOutOfIndexes) {
    DWORD count = 0;
    while (TlsAlloc() != TLS_OUT_OF_INDEXES) ++count;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_EQ(count, 64u);
    EXPECT_TRUE(TlsFree(10));
    EXPECT_EQ(TlsAlloc(), 10u);
}

}  // namespace
}  // namespace pal
