#include <atomic>
#include <fstream>
#include <thread>

#include "pal/errors.h"
#include "pal/handleapi.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/paths.h"
#include "pal/runtime/process.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

using testing::DesktopTest;
using testing::TempWorld;

TEST(World, CreateLaysOutBothMachinesAndRefusesASecondCreate) {
    TempWorld temp({5, 1});
    EXPECT_TRUE(std::filesystem::is_directory(temp.Dir() / "desktop/c/Windows/System32"));
    EXPECT_TRUE(std::filesystem::is_directory(temp.Dir() / "device/root/Windows"));
    EXPECT_EQ(temp.Device().Config().os.major, 5u);
    EXPECT_EQ(temp.Device().Config().os.platformId, 3u);
    EXPECT_EQ(temp.Desktop().Config().codePage, 1252u);
    EXPECT_THROW(World::Create(temp.Dir()), WorldError);
}

TEST(World, OfTwoCreationsAtOnceExactlyOneSucceeds) {
    TempWorld base;
    for (int round = 0; round < 20; ++round) {
        auto dir = base.Dir().parent_path() / ("race" + std::to_string(round));
        std::atomic<int> created{0};
        // Each closes at once, so that a late second creation would find the lock free.
        auto create = [&] {
            try {
                World::Create(dir).reset();
                ++created;
            } catch (const WorldError&) {
            }
        };
        std::thread first(create), second(create);
        first.join();
        second.join();
        EXPECT_EQ(created.load(), 1) << round;
    }
}

TEST(World, OneProcessAtATimeOpensAWorld) {
    TempWorld temp;
    EXPECT_THROW(World::Open(temp.Dir()), WorldError);
    temp.Reopen();  // closing releases the lock
    EXPECT_EQ(temp.Get().Machines().size(), 2u);
}

TEST(World, ConfigurationSurvivesReopen) {
    TempWorld temp({6, 0});
    temp.Desktop().SetEnvironment(u"VelumexHome", u"C:\\Ünïcode");
    temp.Desktop().FreezeClock(130000000000000000ULL);
    auto config = temp.Device().Config();
    config.locale = 0x0407;
    temp.Device().SetConfig(config);
    temp.Get().AddDesktop("desktop2");
    temp.Reopen();
    EXPECT_EQ(temp.Desktop().GetEnvironment(u"VELUMEXHOME"), u"C:\\Ünïcode");
    EXPECT_EQ(temp.Desktop().NowUtc(), 130000000000000000ULL);
    EXPECT_EQ(temp.Device().Config().locale, 0x0407u);
    EXPECT_EQ(temp.Device().Config().os.major, 6u);
    ASSERT_NE(temp.Get().Find("desktop2"), nullptr);
    EXPECT_TRUE(temp.Get().Find("desktop2")->IsDesktop());
}

TEST(World, MalformedMachineConfigurationIsACleanError) {
    TempWorld temp;
    auto dir = temp.Dir();
    temp.Get().Close();
    std::ofstream(dir / "device/machine.ini") << "kind=device\nos=banana\n";
    EXPECT_THROW(World::Open(dir), WorldError);
}

TEST(Clock, OffsetRunsFromRealTimeAndFrozenStands) {
    TempWorld temp;
    Machine& m = temp.Desktop();
    ULONGLONG real = m.NowUtc();
    m.OffsetClock(864000000000LL);  // one day
    EXPECT_GE(m.NowUtc(), real + 864000000000ULL);
    m.FreezeClock(42);
    EXPECT_EQ(m.NowUtc(), 42u);
    m.RealClock();
    EXPECT_LT(m.NowUtc() - real, 600000000ULL);
}

TEST(Context, LastErrorIsPerThread) {
    SetLastError(ERROR_MORE_DATA);
    DWORD seen = 0;
    std::thread other([&] { seen = GetLastError(); SetLastError(5); });
    other.join();
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
}

TEST(Context, ScopedContextRestoresThePreviousMachine) {
    TempWorld temp;
    ScopedContext desktop(temp.Desktop());
    {
        ScopedContext device(temp.Device());
        EXPECT_EQ(&CurrentMachine(), &temp.Device());
        EXPECT_EQ(CurrentProcess().ExePath(), u"\\Windows\\host.exe");
    }
    EXPECT_EQ(&CurrentMachine(), &temp.Desktop());
}

class HandleTest : public DesktopTest {};

struct CountingObject : KernelObject {
    int* closes;
    explicit CountingObject(int* c) : closes(c) {}
    void OnHandleClosed(Process&) override { ++*closes; }
};

TEST_F(HandleTest, CloseHandleReleasesOnlyThatHandle) {
    int closes = 0;
    auto object = std::make_shared<CountingObject>(&closes);
    HANDLE a = CurrentProcess().Handles().Add(object);
    HANDLE b = CurrentProcess().Handles().Add(object);
    EXPECT_NE(a, b);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(a, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(a));
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(CurrentProcess().Handles().Get(b), object);
    EXPECT_FALSE(CloseHandle(a));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(b));  // before `closes` goes out of scope
    EXPECT_EQ(closes, 2);
}

TEST_F(HandleTest, HandlesArePerProcess) {
    auto other = CurrentMachine().CreateProcess(u"C:\\Windows\\other.exe");
    HANDLE h = other->Handles().Add(std::make_shared<KernelObject>());
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_NE(other->Id(), CurrentProcess().Id());
    EXPECT_EQ(CurrentMachine().FindProcess(other->Id()), other);
}

}  // namespace
}  // namespace pal
