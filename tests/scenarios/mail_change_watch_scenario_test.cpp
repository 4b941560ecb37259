// Desktop mail changes reach the engine as they happen: on a connected partnership's store,
// created through COM on the engine's store thread, the mail folder's window reports each change
// the mail client makes to its Inbox while the store thread waits between calls.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "activesync/desktop_host.h"
#include "activesync/device_link.h"
#include "activesync/partnerships.h"
#include "emu/mailclient/inbox_watch.h"
#include "emu/mailclient/mail_client.h"
#include "pal/runtime/context.h"
#include "pal/runtime/window_manager.h"
#include "pal_testing/file_times.h"
#include "pal_testing/temp_world.h"
#include "provider_host.h"

namespace {

using namespace emu::mailclient;

// The fields of a mail item's handle bytes: version, kind, received time, identifier, unread.
struct MailHandle {
    WORD version = 0;
    DWORD kind = 0;
    ULONGLONG received = 0;
    std::string id;
    DWORD unread = 0;
};

MailHandle Decode(const std::vector<BYTE>& bytes) {
    MailHandle handle;
    EXPECT_EQ(bytes.size(), 6u + 8u + 64u + 4u);
    if (bytes.size() != 82) return handle;
    auto dword = [&](size_t at) {
        return DWORD(bytes[at]) | DWORD(bytes[at + 1]) << 8 | DWORD(bytes[at + 2]) << 16 |
               DWORD(bytes[at + 3]) << 24;
    };
    handle.version = static_cast<WORD>(bytes[0] | bytes[1] << 8);
    handle.kind = dword(2);
    handle.received = dword(6) | ULONGLONG(dword(10)) << 32;
    handle.id = std::string(reinterpret_cast<const char*>(&bytes[14]));
    handle.unread = dword(78);
    return handle;
}

struct Reported {
    UINT code;
    std::string progId;
    std::string objType;
    MailHandle item;
};

class MailChangeWatchScenario : public ::testing::Test {
protected:
    MailChangeWatchScenario() : m_desktop(m_world.Desktop()), m_device(m_world.Device()) {
        activesync::InstallEngine(m_desktop, {false, false});
        InstallMailClient(m_desktop);
        EXPECT_EQ(velumex::InstallProvider(m_desktop, VELUMEX_MODULE_DIR), S_OK);
        m_partnership = activesync::CreatePartnership(m_desktop, m_device, u"PocketPC").id;
        {
            // The device side of the install leaves the settings key.
            pal::ScopedContext context(m_device);
            HKEY key = nullptr;
            RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Quorvane\\Velumex", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr);
            RegCloseKey(key);
        }
        m_link.emplace(m_world.Get());
        m_link->Connect(m_partnership);
        m_host.emplace(m_desktop);
    }
    ~MailChangeWatchScenario() override {
        m_host->Run([&] {
            if (m_store) {
                if (m_notify)
                    for (const auto& notification : m_notify->TakeNotifications())
                        m_store->FreeObject(notification.item);
                if (m_folder) m_store->FreeObject(m_folder);
                m_store->ReportStatus(nullptr, nullptr, RSC_RELEASE, 0);
                m_store->Release();
            }
            if (m_notify) m_notify->Release();
        });
        m_host.reset();
        m_link.reset();
    }

    // On the store thread (a COM apartment), as the engine starts a synchronization: the store
    // through COM by its ProgID, Initialize (with the engine's callback unless `withNotify` is
    // false), then the folder of "Message".
    void OpenMailFolder(bool withNotify = true) {
        m_host->Run([&] {
            velumex::StoreRun created;
            ASSERT_TRUE(velumex::CreateStoreByProgId(created, &m_store)) << created.stage;
            m_notify = withNotify ? m_host->CreateNotify() : nullptr;
            ASSERT_EQ(m_store->Initialize(m_notify, 0), S_OK);
            IUnknown* handler = nullptr;
            char type[] = "Message";
            ASSERT_EQ(m_store->GetFolderInfo(type, &m_folder, &handler), S_OK);
        });
    }

    // What the store reported since the last call, once the store thread had its turn.
    std::vector<Reported> Reports() {
        std::vector<Reported> reports;
        m_host->Run([&] {
            for (const auto& notification : m_notify->TakeNotifications()) {
                std::vector<BYTE> bytes(m_store->ObjectToBytes(notification.item, nullptr));
                m_store->ObjectToBytes(notification.item, bytes.data());
                reports.push_back(
                    {notification.code, notification.progId, notification.objType, Decode(bytes)});
                EXPECT_EQ(notification.flags, 0u);
                m_store->FreeObject(notification.item);
            }
        });
        return reports;
    }

    // The windows of the desktop titled "Message".
    std::vector<HWND> WatchWindows() {
        std::vector<HWND> windows;
        for (const pal::WindowInfo& info : pal::ListWindows(m_desktop))
            if (info.text == u"Message") windows.push_back(info.handle);
        return windows;
    }

    pal::testing::TempWorld m_world;
    pal::Machine& m_desktop;
    pal::Machine& m_device;
    DWORD m_partnership = 0;
    std::optional<activesync::DeviceLink> m_link;
    std::optional<activesync::DesktopHost> m_host;
    IReplStore* m_store = nullptr;
    activesync::ReplNotify* m_notify = nullptr;
    HREPLFLD m_folder = nullptr;
};

Message Mail(std::string subject, bool unread, std::string received) {
    Message message;
    message.subject = std::move(subject);
    message.from = {"Ann", "ann@example.com"};
    message.recipients = {{kTo, "", "bob@example.com"}};
    message.received = std::move(received);
    message.unread = unread;
    return message;
}

TEST_F(MailChangeWatchScenario, AddedReadAndDeletedMessagesAreReportedAsTheyHappen) {
    OpenMailFolder();
    std::vector<HWND> windows = WatchWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(pal::DescribeWindow(m_desktop, windows[0])->threadId, m_host->StoreThreadId());
    EXPECT_EQ(InboxWindows(m_desktop), windows);

    std::uint64_t id = AddMessage(m_desktop, Mail("Agenda", true, "2024-03-05T09:07:30"));
    std::vector<Reported> created = Reports();
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].code, static_cast<UINT>(RNC_CREATED));
    EXPECT_EQ(created[0].progId, "KV.WinCE.OE.3");
    EXPECT_EQ(created[0].objType, "Message");
    EXPECT_EQ(created[0].item.version, 2);
    EXPECT_EQ(created[0].item.kind, 5u);
    EXPECT_EQ(created[0].item.id, std::to_string(id));
    EXPECT_EQ(created[0].item.received,
              pal_testing::Ticks(pal_testing::FileTimeOf(2024, 3, 5, 9, 7)));
    EXPECT_EQ(created[0].item.unread, 1u);

    SetUnread(m_desktop, id, false);
    std::vector<Reported> read = Reports();
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].code, static_cast<UINT>(RNC_MODIFIED));
    EXPECT_EQ(read[0].progId, "KV.WinCE.OE.3");
    EXPECT_EQ(read[0].objType, "Message");
    EXPECT_EQ(read[0].item.id, std::to_string(id));
    EXPECT_EQ(read[0].item.received, pal_testing::Ticks(pal_testing::FileTimeOf(2024, 3, 5, 9, 7)));
    EXPECT_EQ(read[0].item.unread, 0u);

    DeleteMessage(m_desktop, id);
    std::vector<Reported> deleted = Reports();
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0].code, static_cast<UINT>(RNC_DELETED));
    EXPECT_EQ(deleted[0].objType, "Message");
    EXPECT_EQ(deleted[0].item.id, std::to_string(id));
    EXPECT_EQ(deleted[0].item.received, 0u);
    EXPECT_EQ(deleted[0].item.unread, 0u);

    // Mail the client sends is filed outside the Inbox and is not reported.
    RecordSent(m_desktop, Mail("Sent", false, "2024-03-05T10:00:00"));
    EXPECT_TRUE(Reports().empty());

    // Freeing the folder takes its window and registration away.
    m_host->Run([&] {
        m_store->FreeObject(m_folder);
        m_folder = nullptr;
    });
    EXPECT_TRUE(WatchWindows().empty());
    EXPECT_TRUE(InboxWindows(m_desktop).empty());
}

TEST_F(MailChangeWatchScenario, MarkingAllReadReportsOnlyTheMessagesInScope) {
    // The default mail options take messages of the last 4 days.
    std::uint64_t recent = AddMessage(m_desktop, Mail("Recent", true, LocalNow(m_desktop)));
    AddMessage(m_desktop, Mail("Old", true, "2020-01-01T08:00:00"));
    std::uint64_t another = AddMessage(m_desktop, Mail("Another", true, ""));
    OpenMailFolder();
    EXPECT_TRUE(Reports().empty());

    EXPECT_EQ(SetAllUnread(m_desktop, false), 3u);
    std::vector<Reported> modified = Reports();
    ASSERT_EQ(modified.size(), 2u);
    for (const Reported& report : modified) {
        EXPECT_EQ(report.code, static_cast<UINT>(RNC_MODIFIED));
        EXPECT_EQ(report.progId, "KV.WinCE.OE.3");
        EXPECT_EQ(report.objType, "Message");
        EXPECT_EQ(report.item.unread, 0u);
    }
    EXPECT_EQ(modified[0].item.id, std::to_string(recent));
    EXPECT_EQ(modified[1].item.id, std::to_string(another));
}

TEST_F(MailChangeWatchScenario, WithoutTheEnginesCallbackNoWindowIsMade) {
    OpenMailFolder(false);
    EXPECT_TRUE(WatchWindows().empty());
    EXPECT_TRUE(InboxWindows(m_desktop).empty());
    AddMessage(m_desktop, Mail("Unwatched", true, "2024-03-05T09:07:30"));
    m_host->Run([] {});
}

}  // namespace
