// The mail client's store namespace: found through the registry as the installation leaves it,
// and the notifications it posts to registered windows for each change of the Inbox.
#include <store_namespace.h>

#include <utility>

#include "emu/mailclient/inbox_watch.h"
#include "mailclient_testing/mail_client_test.h"

namespace mailclient_testing {
namespace {

struct Posted {
    UINT message;
    WPARAM wParam;
    bool operator==(const Posted&) const = default;
};

LRESULT CALLBACK Quiet(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

class StoreNotifications : public MailClientTest {
protected:
    void SetUp() override {
        MailClientTest::SetUp();
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = Quiet;
        windowClass.lpszClassName = u"WatchTest";
        ASSERT_NE(RegisterClassW(&windowClass), 0);
        ASSERT_EQ(CoCreateInstance(CLSID_StoreNamespace, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IStoreNamespace, reinterpret_cast<void**>(&m_namespace)),
                  S_OK);
        ASSERT_EQ(m_namespace->Initialize(nullptr, 0), S_OK);
        ASSERT_EQ(m_namespace->OpenSpecialFolder(STORE_FOLDER_INBOX, 0, &m_inbox), S_OK);
    }
    void TearDown() override {
        if (m_inbox) m_inbox->Release();
        if (m_namespace) m_namespace->Release();
        CoUninitialize();
    }

    HWND Window() {
        return CreateWindowExW(0, u"WatchTest", u"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               nullptr, nullptr);
    }
    // The messages waiting for `window`, taken off its queue.
    static std::vector<Posted> Drain(HWND window) {
        std::vector<Posted> posted;
        MSG msg;
        while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE))
            posted.push_back({msg.message, msg.wParam});
        return posted;
    }
    static STOREMSGID Pointed(WPARAM wParam) { return *reinterpret_cast<STOREMSGID*>(wParam); }

    IStoreNamespace* m_namespace = nullptr;
    IStoreFolder* m_inbox = nullptr;
};

TEST_F(StoreNotifications, InstallRegistersTheLibraryAsTheClassServer) {
    std::string key = "CLSID\\{E70C92A9-4BFD-11D1-8A95-00C04FB951F3}\\InprocServer32";
    HKEY server = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &server), ERROR_SUCCESS);
    char path[MAX_PATH] = {};
    DWORD size = sizeof path;
    DWORD type = 0;
    EXPECT_EQ(
        RegQueryValueExA(server, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size),
        ERROR_SUCCESS);
    RegCloseKey(server);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(pal::U16(path), kStoreLibraryPath);
    EXPECT_TRUE(std::filesystem::exists(Host(path)));
}

TEST_F(StoreNotifications, RefusesCallsOutOfOrderOrWithBadArguments) {
    IStoreNamespace* fresh = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_StoreNamespace, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IStoreNamespace, reinterpret_cast<void**>(&fresh)),
              S_OK);
    IStoreFolder* folder = reinterpret_cast<IStoreFolder*>(1);
    EXPECT_EQ(fresh->OpenSpecialFolder(STORE_FOLDER_INBOX, 0, &folder), E_UNEXPECTED);
    EXPECT_EQ(folder, nullptr);
    EXPECT_EQ(fresh->Initialize(nullptr, 1), E_INVALIDARG);
    EXPECT_EQ(fresh->Initialize(nullptr, 0), S_OK);
    EXPECT_EQ(fresh->OpenSpecialFolder(1, 0, &folder), E_INVALIDARG);
    EXPECT_EQ(fresh->Reserved4(), E_NOTIMPL);
    fresh->Release();

    EXPECT_EQ(m_inbox->Reserved3(), E_NOTIMPL);
    EXPECT_EQ(m_inbox->Reserved16(), E_NOTIMPL);
    HWND window = Window();
    EXPECT_EQ(m_inbox->RegisterNotification(0, reinterpret_cast<HWND>(0x1234)), E_INVALIDARG);
    EXPECT_EQ(m_inbox->RegisterNotification(1, window), E_INVALIDARG);
    EXPECT_EQ(m_inbox->UnregisterNotification(0, window), E_FAIL);
    EXPECT_TRUE(InboxWindows(Desktop()).empty());
}

TEST_F(StoreNotifications, EachInboxChangeIsPostedWithItsParameter) {
    HWND window = Window();
    ASSERT_EQ(m_inbox->RegisterNotification(0, window), S_OK);
    // A second registration of the same window changes nothing.
    ASSERT_EQ(m_inbox->RegisterNotification(0, window), S_OK);
    EXPECT_EQ(InboxWindows(Desktop()), std::vector<HWND>{window});

    std::uint64_t first = AddMessage(Desktop(), Mail("one"));
    std::uint64_t second = AddMessage(Desktop(), Mail("two"));
    EXPECT_EQ(Drain(window), (std::vector<Posted>{{STORE_NOTIFY_NEW_MESSAGE, first},
                                                  {STORE_NOTIFY_NEW_MESSAGE, second}}));

    ASSERT_TRUE(SetUnread(Desktop(), second, false));
    ASSERT_TRUE(SetUnread(Desktop(), first, true));
    ASSERT_TRUE(DeleteMessage(Desktop(), first));
    EXPECT_EQ(SetAllUnread(Desktop(), false), 1u);
    EXPECT_EQ(SetAllUnread(Desktop(), true), 1u);
    std::vector<Posted> posted = Drain(window);
    ASSERT_EQ(posted.size(), 5u);
    EXPECT_EQ(posted[0].message, static_cast<UINT>(STORE_NOTIFY_MARKED_READ));
    EXPECT_EQ(posted[1].message, static_cast<UINT>(STORE_NOTIFY_MARKED_UNREAD));
    EXPECT_EQ(posted[2].message, static_cast<UINT>(STORE_NOTIFY_DELETED));
    EXPECT_EQ(posted[3], (Posted{STORE_NOTIFY_MARKED_READ, STORE_NOTIFY_ALL_MESSAGES}));
    EXPECT_EQ(posted[4], (Posted{STORE_NOTIFY_MARKED_UNREAD, STORE_NOTIFY_ALL_MESSAGES}));
    // The identifiers given by pointer are still there after later changes.
    EXPECT_EQ(Pointed(posted[0].wParam), second);
    EXPECT_EQ(Pointed(posted[1].wParam), first);
    EXPECT_EQ(Pointed(posted[2].wParam), first);

    // Reading through Simple MAPI without peeking marks the message read, which is posted too.
    HMODULE library = LoadLibraryA(m_libraryPath.c_str());
    auto logon = reinterpret_cast<LPMAPILOGON>(GetProcAddress(library, "MAPILogon"));
    auto read = reinterpret_cast<LPMAPIREADMAIL>(GetProcAddress(library, "MAPIReadMail"));
    auto release = reinterpret_cast<LPMAPIFREEBUFFER>(GetProcAddress(library, "MAPIFreeBuffer"));
    LHANDLE session = 0;
    ASSERT_EQ(logon(0, nullptr, nullptr, 0, 0, &session), SUCCESS_SUCCESS);
    std::string id = std::to_string(second);
    lpMapiMessage message = nullptr;
    ASSERT_EQ(read(session, 0, id.data(), MAPI_ENVELOPE_ONLY, 0, &message), SUCCESS_SUCCESS);
    release(message);
    posted = Drain(window);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, static_cast<UINT>(STORE_NOTIFY_MARKED_READ));
    EXPECT_EQ(Pointed(posted[0].wParam), second);
    FreeLibrary(library);
}

TEST_F(StoreNotifications, OnlyInboxChangesArePosted) {
    HWND window = Window();
    ASSERT_EQ(m_inbox->RegisterNotification(0, window), S_OK);
    EXPECT_EQ(SetAllUnread(Desktop(), true), 0u);
    std::uint64_t sent = RecordSent(Desktop(), Mail("sent"));
    EXPECT_TRUE(SetUnread(Desktop(), sent, false));
    EXPECT_TRUE(DeleteMessage(Desktop(), sent));
    EXPECT_FALSE(DeleteMessage(Desktop(), sent));
    EXPECT_FALSE(SetUnread(Desktop(), sent, true));
    EXPECT_TRUE(Drain(window).empty());
    // Marking all concerns the Inbox alone.
    std::uint64_t inbox = AddMessage(Desktop(), Mail("inbox"));
    RecordSent(Desktop(), Mail("sent again"));
    EXPECT_EQ(SetAllUnread(Desktop(), false), 1u);
    EXPECT_EQ(Drain(window).size(), 2u);
    EXPECT_TRUE(FindMessage(Desktop(), inbox) && !FindMessage(Desktop(), inbox)->unread);
    EXPECT_TRUE(ListMessages(Desktop(), Folder::Sent)[0].unread);
}

TEST_F(StoreNotifications, UnregisteredAndDestroyedWindowsGetNothing) {
    HWND kept = Window();
    HWND leaving = Window();
    HWND destroyed = Window();
    for (HWND window : {kept, leaving, destroyed})
        ASSERT_EQ(m_inbox->RegisterNotification(0, window), S_OK);
    ASSERT_EQ(m_inbox->UnregisterNotification(0, leaving), S_OK);
    ASSERT_TRUE(DestroyWindow(destroyed));
    std::uint64_t id = AddMessage(Desktop(), Mail("x"));
    EXPECT_EQ(Drain(kept), (std::vector<Posted>{{STORE_NOTIFY_NEW_MESSAGE, id}}));
    EXPECT_TRUE(Drain(leaving).empty());
    // The post to the destroyed window failed and ended its registration.
    EXPECT_EQ(InboxWindows(Desktop()), std::vector<HWND>{kept});
    // The namespace and folder may go; the registration is the machine's.
    m_inbox->Release();
    m_inbox = nullptr;
    DeleteMessage(Desktop(), id);
    std::vector<Posted> posted = Drain(kept);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(Pointed(posted[0].wParam), id);
}

}  // namespace
}  // namespace mailclient_testing
