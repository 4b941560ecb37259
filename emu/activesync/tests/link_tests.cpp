#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "activesync/device_link.h"
#include "activesync/partnerships.h"
#include "pal/runtime/context.h"
#include "pal/runtime/process.h"
#include "pal/runtime/registry_store.h"
#include "pal_testing/temp_world.h"

namespace {

using namespace activesync;

class LinkTest : public pal::testing::DesktopTest {
protected:
    LinkTest() {
        CreatePartnership(m_world.Desktop(), m_world.Device(), u"PocketPC", 0x42);
        m_link.emplace(m_world.Get());
    }
    ~LinkTest() override { m_link.reset(); }
    void Reopen() {
        m_link.reset();
        DesktopTest::Reopen();
        m_link.emplace(m_world.Get());
    }

    std::optional<DeviceLink> m_link;
};

Bytes Echo(const Bytes& request) {
    std::string where = pal::CurrentMachine().Name();
    Bytes reply(where.begin(), where.end());
    reply.insert(reply.end(), request.begin(), request.end());
    return reply;
}

TEST_F(LinkTest, ConnectionIsRecordedInTheWorld) {
    EXPECT_FALSE(m_link->IsConnected());
    m_link->Connect(0x42);
    EXPECT_EQ(m_link->ConnectedId(), 0x42u);
    EXPECT_EQ(DeviceLink::ConnectedId(m_world.Desktop()), 0x42u);
    EXPECT_EQ(SelectedPartnership(m_world.Desktop()), 0x42u);
    EXPECT_EQ(DeviceLink::Of(m_world.Desktop()), &*m_link);

    Reopen();
    EXPECT_EQ(m_link->ConnectedId(), 0x42u);
    m_link->Disconnect();
    Reopen();
    EXPECT_FALSE(m_link->IsConnected());
    EXPECT_EQ(DeviceLink::ConnectedId(m_world.Desktop()), 0u);
}

TEST_F(LinkTest, ConnectNeedsThePartnershipOnBothMachines) {
    EXPECT_THROW(m_link->Connect(0x43), PartnershipError);
    pal::RegistryStore(m_world.Device()).DeleteKey(std::u16string(kDevicePartnersKey) + u"\\P1");
    EXPECT_THROW(m_link->Connect(0x42), PartnershipError);
    EXPECT_FALSE(m_link->IsConnected());
    EXPECT_THROW(DeviceLink second(m_world.Get()), std::logic_error);
}

TEST_F(LinkTest, CallsRunOnTheDeviceInTheEndpointsProcess) {
    DWORD serverProcess = 0;
    m_link->Serve("echo", u"\\Windows\\echo.exe", [&](const Bytes& request) {
        EXPECT_EQ(pal::CurrentProcess().ExePath(), u"\\Windows\\echo.exe");
        serverProcess = pal::CurrentProcess().Id();
        return Echo(request);
    });
    EXPECT_EQ(m_link->Call("echo", {1}).status, CallStatus::NotConnected);
    m_link->Connect(0x42);
    CallResult answered = m_link->Call("echo", {1, 2});
    ASSERT_EQ(answered.status, CallStatus::Answered);
    EXPECT_EQ(answered.reply, (Bytes{'d', 'e', 'v', 'i', 'c', 'e', 1, 2}));
    EXPECT_TRUE(m_world.Device().FindProcess(serverProcess));
    EXPECT_EQ(m_link->Call("nothing", {}).status, CallStatus::NoService);

    // The device process goes with the connection.
    m_link->Disconnect();
    EXPECT_FALSE(m_world.Device().FindProcess(serverProcess));
    EXPECT_EQ(DeviceLink::Call(m_world.Desktop(), "echo", {}).status, CallStatus::NotConnected);
}

TEST_F(LinkTest, DisconnectFailsCallsInFlight) {
    std::promise<void> entered;
    std::promise<void> release;
    auto released = release.get_future().share();
    m_link->Serve("slow", u"\\Windows\\slow.exe", [&](const Bytes& request) {
        entered.set_value();
        released.wait();
        return request;
    });
    m_link->Connect(0x42);
    auto caller = std::async(std::launch::async, [&] { return m_link->Call("slow", {9}); });
    entered.get_future().wait();
    auto disconnecting = std::async(std::launch::async, [&] { m_link->Disconnect(); });
    EXPECT_EQ(caller.get().status, CallStatus::Dropped);
    release.set_value();
    disconnecting.get();
    EXPECT_FALSE(m_link->IsConnected());
}

TEST_F(LinkTest, AnEndpointOnItsOwnersThreadAnswersThereAndSkipsWhatADisconnectDropped) {
    // The owner's thread is the test's: it runs the posted jobs when it chooses.
    std::mutex lock;
    std::condition_variable posted;
    std::vector<std::function<void()>> jobs;
    auto takeJob = [&](size_t count) {
        std::unique_lock<std::mutex> guard(lock);
        posted.wait(guard, [&] { return jobs.size() >= count; });
        return jobs[count - 1];
    };
    std::vector<std::thread::id> handledOn;
    m_link->Serve(
        "posted",
        [&](std::function<void()> job) {
            std::lock_guard<std::mutex> guard(lock);
            jobs.push_back(std::move(job));
            posted.notify_all();
        },
        [&](const Bytes& request) {
            handledOn.push_back(std::this_thread::get_id());
            return request;
        });
    m_link->Connect(0x42);

    auto first = std::async(std::launch::async, [&] { return m_link->Call("posted", {1}); });
    takeJob(1)();
    CallResult answered = first.get();
    EXPECT_EQ(answered.status, CallStatus::Answered);
    EXPECT_EQ(answered.reply, Bytes{1});
    EXPECT_EQ(handledOn, std::vector<std::thread::id>{std::this_thread::get_id()});

    // A request still queued when the device goes fails at once and is never handled; the
    // disconnect waits for its turn to pass.
    auto second = std::async(std::launch::async, [&] { return m_link->Call("posted", {2}); });
    auto queued = takeJob(2);
    auto disconnecting = std::async(std::launch::async, [&] { m_link->Disconnect(); });
    EXPECT_EQ(second.get().status, CallStatus::Dropped);
    queued();
    disconnecting.get();
    EXPECT_EQ(handledOn.size(), 1u);
    EXPECT_EQ(m_link->Call("posted", {3}).status, CallStatus::NotConnected);
}

TEST_F(LinkTest, ASteadyRequestCrossesOncePerConnectionAndServer) {
    int handled = 0;
    auto serve = [&](std::uint8_t tag) {
        m_link->Serve("steady", u"\\Windows\\steady.exe", [&handled, tag](const Bytes& request) {
            ++handled;
            Bytes reply{tag};
            reply.insert(reply.end(), request.begin(), request.end());
            return reply;
        });
    };
    serve(1);
    pal::Machine& desktop = m_world.Desktop();
    EXPECT_EQ(DeviceLink::CallSteady(desktop, "steady", {5}).status, CallStatus::NotConnected);
    m_link->Connect(0x42);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(DeviceLink::CallSteady(desktop, "steady", {5}).reply, (Bytes{1, 5}));
    EXPECT_EQ(handled, 1);
    // Another request is a request of its own.
    EXPECT_EQ(DeviceLink::CallSteady(desktop, "steady", {6}).reply, (Bytes{1, 6}));
    EXPECT_EQ(handled, 2);

    // A new server, or a new connection, is asked again.
    serve(2);
    EXPECT_EQ(DeviceLink::CallSteady(desktop, "steady", {5}).reply, (Bytes{2, 5}));
    EXPECT_EQ(handled, 3);
    m_link->Disconnect();
    EXPECT_EQ(DeviceLink::CallSteady(desktop, "steady", {5}).status, CallStatus::NotConnected);
    m_link->Connect(0x42);
    EXPECT_EQ(DeviceLink::CallSteady(desktop, "steady", {5}).reply, (Bytes{2, 5}));
    EXPECT_EQ(handled, 4);
}

TEST_F(LinkTest, ALinkForgetsAConnectionWhosePartnershipIsGone) {
    m_link->Connect(0x42);
    EXPECT_THROW(DeletePartnership(m_world.Desktop(), m_world.Device(), 0x42), PartnershipError);
    m_link.reset();
    DeletePartnership(m_world.Desktop(), m_world.Device(), 0x42);
    m_link.emplace(m_world.Get());
    EXPECT_FALSE(m_link->IsConnected());
}

}  // namespace
