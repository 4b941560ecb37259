// The mail folder's change-watch window over the emulated mail client: its creation and
// registration, the engine notifications each Inbox change produces, and what it leaves alone.
#include <store_namespace.h>

#include <list>

#include "emu/mailclient/inbox_watch.h"
#include "emu/mailclient/mail_client.h"
#include "mail_folder.h"
#include "mail_item.h"
#include "pal/runtime/window_manager.h"
#include "pal_testing/file_times.h"
#include "store_fixture.h"

namespace trellium_testing {
namespace {

using namespace emu::mailclient;

Message Mail(std::string subject, bool unread, std::string received = "2024-03-05T09:07:30") {
    Message message;
    message.subject = std::move(subject);
    message.from = {"Ann", "ann@example.com"};
    message.recipients = {{kTo, "", "bob@example.com"}};
    message.received = std::move(received);
    message.unread = unread;
    return message;
}

class WndHiddenTest : public StoreTest {
protected:
    explicit WndHiddenTest(bool installClient = true) {
        if (installClient) InstallMailClient(m_world.Desktop());
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    }
    ~WndHiddenTest() override {
        for (CReplObject* folder : m_folders) folder->Free();
        Taken();
        for (HREPLITEM item : m_items) m_store->FreeObject(item);
        CoUninitialize();
    }

    // Initialize without a connected device: the callback is held, the mail client wrapper made.
    void InitializeStore() { ASSERT_EQ(m_store->Initialize(m_notify, 0), S_OK); }

    template <class Folder = CMailFolder>
    Folder* NewFolder() {
        auto* folder = new Folder(m_store);
        m_folders.push_back(folder);
        return folder;
    }
    void FreeFolder(CMailFolder* folder) {
        m_folders.remove(folder);
        folder->Free();
    }

    // Dispatches what waits in the thread's queue, as the engine's store thread does between calls.
    static void Pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }

    // The notifications made since the last call; their items stay alive until the test ends.
    std::vector<activesync::ItemNotification> Taken() {
        std::vector<activesync::ItemNotification> taken = m_notify->TakeNotifications();
        for (const auto& notification : taken) m_items.push_back(notification.item);
        return taken;
    }
    static const CMailItem& Item(const activesync::ItemNotification& notification) {
        return *static_cast<CMailItem*>(FromHandle(notification.item));
    }

    std::list<CMailFolder*> m_folders;
    std::vector<HREPLITEM> m_items;
};

TEST_F(WndHiddenTest, CreatesAHiddenPopupRegisteredForTheInboxAndRemovesItWithTheFolder) {
    InitializeStore();
    CMailFolder* folder = NewFolder();
    HWND window = folder->m_wndHidden.m_hWnd;
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(folder->m_wndHidden.m_owner, folder);
    std::optional<pal::WindowInfo> info = pal::DescribeWindow(m_world.Desktop(), window);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->text, u"Message");
    EXPECT_EQ(static_cast<DWORD>(info->style), static_cast<DWORD>(WS_POPUP));
    EXPECT_EQ(info->exStyle, 0);
    EXPECT_EQ(info->owner, nullptr);
    EXPECT_EQ(info->parent, nullptr);
    EXPECT_NE(info->className, u"Message");
    EXPECT_FALSE(info->className.empty());
    EXPECT_NE(folder->m_wndHidden.m_namespace, nullptr);
    EXPECT_NE(folder->m_wndHidden.m_inbox, nullptr);
    EXPECT_EQ(InboxWindows(m_world.Desktop()), std::vector<HWND>{window});

    // A second folder's window comes from the same class and registers on its own.
    CMailFolder* second = NewFolder();
    ASSERT_NE(second->m_wndHidden.m_hWnd, nullptr);
    EXPECT_EQ(pal::DescribeWindow(m_world.Desktop(), second->m_wndHidden.m_hWnd)->className,
              info->className);
    EXPECT_EQ(InboxWindows(m_world.Desktop()).size(), 2u);

    FreeFolder(folder);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(InboxWindows(m_world.Desktop()), std::vector<HWND>{second->m_wndHidden.m_hWnd});
}

TEST_F(WndHiddenTest, NoWindowWithoutTheEnginesCallback) {
    CMailFolder* folder = NewFolder();
    EXPECT_EQ(folder->m_wndHidden.m_hWnd, nullptr);
    EXPECT_TRUE(InboxWindows(m_world.Desktop()).empty());
    AddMessage(m_world.Desktop(), Mail("x", true));
    Pump();
    EXPECT_TRUE(m_notify->Notifications().empty());
}

TEST_F(WndHiddenTest, ReportsNewReadAndDeletedMessagesWithFreshItems) {
    InitializeStore();
    NewFolder();
    std::uint64_t id = AddMessage(m_world.Desktop(), Mail("new", true, "2024-03-05T09:07:30"));
    Pump();
    auto created = Taken();
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].code, static_cast<UINT>(RNC_CREATED));
    EXPECT_EQ(created[0].progId, "KV.WinCE.OE.3");
    EXPECT_EQ(created[0].objType, "Message");
    EXPECT_EQ(created[0].flags, 0u);
    EXPECT_STREQ(Item(created[0]).m_messageId, std::to_string(id).c_str());
    EXPECT_EQ(Item(created[0]).m_version, HANDLE_VERSION);
    EXPECT_EQ(Item(created[0]).m_unread, 1u);
    FILETIME expected = pal_testing::FileTimeOf(2024, 3, 5, 9, 7);
    EXPECT_EQ(Item(created[0]).m_received.dwLowDateTime, expected.dwLowDateTime);
    EXPECT_EQ(Item(created[0]).m_received.dwHighDateTime, expected.dwHighDateTime);
    // Reading for the notice peeks: the message stays unread.
    EXPECT_TRUE(FindMessage(m_world.Desktop(), id)->unread);

    // Each notice reads the message as it is when the notice is handled.
    SetUnread(m_world.Desktop(), id, false);
    Pump();
    SetUnread(m_world.Desktop(), id, true);
    Pump();
    auto marked = Taken();
    ASSERT_EQ(marked.size(), 2u);
    EXPECT_EQ(marked[0].code, static_cast<UINT>(RNC_MODIFIED));
    EXPECT_EQ(Item(marked[0]).m_unread, 0u);
    EXPECT_EQ(Item(marked[1]).m_unread, 1u);
    EXPECT_STREQ(Item(marked[1]).m_messageId, std::to_string(id).c_str());
    EXPECT_NE(marked[0].item, marked[1].item);
    EXPECT_EQ(Item(marked[1]).m_received.dwLowDateTime, expected.dwLowDateTime);

    DeleteMessage(m_world.Desktop(), id);
    Pump();
    auto deleted = Taken();
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0].code, static_cast<UINT>(RNC_DELETED));
    EXPECT_EQ(deleted[0].objType, "Message");
    EXPECT_STREQ(Item(deleted[0]).m_messageId, std::to_string(id).c_str());
    EXPECT_EQ(Item(deleted[0]).m_unread, 0u);
    EXPECT_EQ(Item(deleted[0]).m_received.dwLowDateTime, 0u);
    EXPECT_EQ(Item(deleted[0]).m_received.dwHighDateTime, 0u);

    // Changes of the Sent folder are not the folder's.
    std::uint64_t sent = RecordSent(m_world.Desktop(), Mail("sent", false));
    SetUnread(m_world.Desktop(), sent, true);
    DeleteMessage(m_world.Desktop(), sent);
    Pump();
    EXPECT_TRUE(Taken().empty());
}

TEST_F(WndHiddenTest, MessagesThatCannotBeReadOrNamedAreNotReported) {
    InitializeStore();
    CMailFolder* folder = NewFolder();
    HWND window = folder->m_wndHidden.m_hWnd;
    // A message gone before its notice is handled.
    std::uint64_t id = AddMessage(m_world.Desktop(), Mail("short-lived", true));
    DeleteMessage(m_world.Desktop(), id);
    Pump();
    auto taken = Taken();
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].code, static_cast<UINT>(RNC_DELETED));
    // A notice without an identifier names no message.
    PostMessageA(window, STORE_NOTIFY_DELETED, 0, 0);
    PostMessageA(window, STORE_NOTIFY_MARKED_READ, 0, 0);
    Pump();
    EXPECT_TRUE(Taken().empty());
    // Once the engine dropped its callback, changes have nobody to go to.
    AddMessage(m_world.Desktop(), Mail("late", true));
    m_store->ReportStatus(nullptr, nullptr, RSC_RELEASE, 0);
    SetAllUnread(m_world.Desktop(), false);
    Pump();
    EXPECT_TRUE(Taken().empty());
}

// A mail folder whose enumeration delivers prepared items, to watch what "mark all" reports.
class ListedFolder : public CMailFolder {
public:
    using CMailFolder::CMailFolder;
    HRESULT FindFirstItem(HREPLITEM* item, BOOL* exists) override {
        m_next = 0;
        return FindNextItem(item, exists);
    }
    HRESULT FindNextItem(HREPLITEM* item, BOOL* exists) override {
        if (m_next == m_failAt) return E_FAIL;
        *exists = m_next < m_ids.size();
        if (!*exists) return S_OK;
        auto* delivered = new CMailItem();
        delivered->SetMessageId(m_ids[m_next++].c_str());
        *item = ToHandle(delivered);
        return S_OK;
    }
    HRESULT FindItemClose() override {
        ++m_closed;
        return S_OK;
    }

    std::vector<std::string> m_ids;
    size_t m_next = 0;
    size_t m_failAt = SIZE_MAX;
    int m_closed = 0;
};

TEST_F(WndHiddenTest, MarkingAllReportsEachItemTheEnumerationDelivers) {
    InitializeStore();
    auto* folder = NewFolder<ListedFolder>();
    folder->m_ids = {"3", "7"};
    // The client announces "mark all" only for an Inbox that holds messages.
    AddMessage(m_world.Desktop(), Mail("a", true));
    Pump();
    Taken();
    SetAllUnread(m_world.Desktop(), false);
    Pump();
    auto modified = Taken();
    ASSERT_EQ(modified.size(), 2u);
    for (const auto& notification : modified) {
        EXPECT_EQ(notification.code, static_cast<UINT>(RNC_MODIFIED));
        EXPECT_EQ(notification.progId, "KV.WinCE.OE.3");
        EXPECT_EQ(notification.objType, "Message");
    }
    EXPECT_STREQ(Item(modified[0]).m_messageId, "3");
    EXPECT_STREQ(Item(modified[1]).m_messageId, "7");
    EXPECT_EQ(folder->m_closed, 1);

    // An enumeration that fails part-way reports what it delivered and is still closed.
    folder->m_failAt = 1;
    SetAllUnread(m_world.Desktop(), true);
    Pump();
    modified = Taken();
    ASSERT_EQ(modified.size(), 1u);
    EXPECT_STREQ(Item(modified[0]).m_messageId, "3");
    EXPECT_EQ(folder->m_closed, 2);
}

class WndHiddenWithoutClientTest : public WndHiddenTest {
protected:
    WndHiddenWithoutClientTest() : WndHiddenTest(false) {}
};

TEST_F(WndHiddenWithoutClientTest, TheWindowExistsEvenWhenTheStoreCannotBeOpened) {
    InitializeStore();
    CMailFolder* folder = NewFolder();
    HWND window = folder->m_wndHidden.m_hWnd;
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(folder->m_wndHidden.m_namespace, nullptr);
    EXPECT_EQ(folder->m_wndHidden.m_inbox, nullptr);
    FreeFolder(folder);
    EXPECT_FALSE(IsWindow(window));
}

}  // namespace
}  // namespace trellium_testing
