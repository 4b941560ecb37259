#include <thread>

#include "cedb_fixture.h"
#include "pal/runtime/context.h"

namespace emu::cedb::testing {
namespace {

class Notifications : public CedbTest {
protected:
    Notifications() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.lpszClassName = W("CedbWatch");
        RegisterClassW(&windowClass);
        m_window = CreateWindowExW(0, W("CedbWatch"), W("_notif_KT"), WS_POPUP, 0, 0, 0, 0, nullptr,
                                   nullptr, nullptr, nullptr);
    }
    ~Notifications() override { DestroyWindow(m_window); }

    // Every WM_DBNOTIFICATION waiting for the window.
    std::vector<CENOTIFICATION*> Take() {
        std::vector<CENOTIFICATION*> received;
        MSG msg;
        while (PeekMessageW(&msg, m_window, WM_DBNOTIFICATION, WM_DBNOTIFICATION, PM_REMOVE)) {
            EXPECT_EQ(msg.wParam, 0u);
            received.push_back(reinterpret_cast<CENOTIFICATION*>(msg.lParam));
        }
        return received;
    }

    HWND m_window = nullptr;
};

TEST_F(Notifications, ChangesByAnotherThreadArePostedToTheWatchingWindow) {
    CEGUID system = SystemGuid();
    CEOID contacts = Create(system, W("Contacts Database"));
    ASSERT_NE(m_window, nullptr);
    CENOTIFYREQUEST request{20, m_window, CEDB_EXNOTIFICATION, nullptr, 0x5EED};
    HANDLE watch = Open(system, W("Contacts Database"), 0, 0, &request);
    ASSERT_NE(watch, INVALID_HANDLE_VALUE);

    CEOID contact = 0;
    std::thread writer([&] {
        pal::ScopedContext context(m_world.Device());
        HANDLE db = Open(SystemGuid(), W("Contacts Database"));
        contact = Write(db, 0, {Text(kText, W("Ann"))});
        Write(db, contact, {Text(kText, W("Anne"))});
        CeDeleteRecord(db, contact);
        CloseHandle(db);
    });
    writer.join();

    auto received = Take();
    ASSERT_EQ(received.size(), 3u);
    const UINT types[] = {DB_CEOID_CREATED, DB_CEOID_CHANGED, DB_CEOID_RECORD_DELETED};
    for (std::size_t i = 0; i < received.size(); ++i) {
        EXPECT_EQ(received[i]->dwSize, sizeof(CENOTIFICATION));
        EXPECT_EQ(received[i]->dwParam, 0x5EEDu);
        EXPECT_EQ(received[i]->uType, types[i]);
        EXPECT_EQ(received[i]->oid, contact);
        EXPECT_EQ(received[i]->oidParent, contacts);
        EXPECT_TRUE(CHECK_SYSTEMGUID(&received[i]->guid));
        EXPECT_TRUE(CeFreeNotification(&request, received[i]));
    }
    CloseHandle(watch);
}

TEST_F(Notifications, OnlyOtherHandlesOnTheSameDatabaseAreTold) {
    CEGUID guid = Mount();
    Create(guid, W("watched"));
    Create(guid, W("other"));
    CENOTIFYREQUEST request{sizeof(CENOTIFYREQUEST), m_window, CEDB_EXNOTIFICATION,
                            GetProcessHeap(), 7};
    HANDLE watch = Open(guid, W("watched"), 0, 0, &request);
    Write(watch, 0, {Ui2(kState, 1)});  // through the watching handle itself
    HANDLE other = Open(guid, W("other"));
    Write(other, 0, {Ui2(kState, 1)});
    CloseHandle(other);
    EXPECT_TRUE(Take().empty());

    HANDLE writer = Open(guid, W("watched"));
    CEOID oid = Write(writer, 0, {Ui2(kState, 2)});
    CloseHandle(writer);
    auto received = Take();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0]->oid, oid);
    EXPECT_EQ(std::memcmp(&received[0]->guid, &guid, sizeof guid), 0);
    // The block comes from the request's heap and goes back to it.
    EXPECT_TRUE(CeFreeNotification(&request, received[0]));
    EXPECT_FALSE(CeFreeNotification(&request, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // A closed watch hears nothing more.
    CloseHandle(watch);
    writer = Open(guid, W("watched"));
    Write(writer, 0, {Ui2(kState, 3)});
    CloseHandle(writer);
    EXPECT_TRUE(Take().empty());
}

}  // namespace
}  // namespace emu::cedb::testing
