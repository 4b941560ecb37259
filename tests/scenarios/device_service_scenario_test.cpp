// The device's changes journaled as they happen: the notification service booted by the service
// host watches the Kestrin account's mail, and the device provider lists what it journaled.
#include <cedb.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>

#include "activesync/device_host.h"
#include "activesync/provider_install.h"
#include "emu/cemapi/message_stores.h"
#include "emu/poom/contacts.h"
#include "emu/services/service_host.h"
#include "pal/runtime/window_manager.h"
#include "pal_testing/temp_world.h"

namespace {

using emu::cemapi::FolderKind;

constexpr CEPROPID kChangeState = 0xA0700012;
constexpr CEPROPID kMessageEntryId = 0xA0710041;

class DeviceServiceScenario : public pal::testing::DeviceTest {
protected:
    void SetUp() override {
        ASSERT_EQ(activesync::InstallDeviceProvider(
                      device(), std::string(VELUMEX_MODULE_DIR) + "/Kestrin.so"),
                  S_OK);
        ASSERT_EQ(
            emu::services::InstallService(device(), std::string(VELUMEX_MODULE_DIR) + "/KTnotif.so",
                                          u"\\Windows\\KTnotif.dll"),
            S_OK);
        emu::poom::Install(device());
        m_store = emu::cemapi::CreateStore(device(), u"Kestrin");
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Inbox\\Svc\\Kestrin",
                                  0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        std::u16string name = u"Kestrin";
        RegSetValueExW(key, u"FriendlyName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                       static_cast<DWORD>((name.size() + 1) * 2));
        RegCloseKey(key);
    }
    void TearDown() override { emu::services::ShutDown(device()); }
    pal::Machine& device() { return m_world.Device(); }

    std::int64_t Compose(const std::u16string& subject) {
        emu::cemapi::NewMessage message;
        message.subject = subject;
        message.recipients.push_back({1, u"Ann", u"ann@example.com", u"SMTP"});
        message.body = u"Written on the device";
        return emu::cemapi::ComposeMessage(device(), m_store, message);
    }
    // Waits until the service's start-up has run: its hidden window "_notif_KT" exists and its
    // thread has come to its message loop.
    void WaitForService() {
        ASSERT_TRUE(pal::WaitForIdleWindow(device(), u"_notif_KT", 10000))
            << "the service did not start";
    }
    void Settle() {
        ASSERT_TRUE(emu::cemapi::WaitForNotifications(device(), std::chrono::seconds(10)));
    }
    // The mail journal as record identifier and ChangeState of a message's record (0 when none).
    std::pair<CEOID, int> RecordOf(std::int64_t id) {
        auto message = emu::cemapi::ReadMessage(device(), m_store, id);
        std::pair<CEOID, int> found{0, -1};
        CEGUID volume;
        WCHAR path[] = u"\\kestrin.vol";
        if (!message || !CeMountDBVol(&volume, path, OPEN_EXISTING)) return found;
        WCHAR name[] = u"_notif_KTMSG";
        CEOID oid = 0;
        HANDLE db = CeOpenDatabaseEx(&volume, &oid, name, 0, CEDB_AUTOINCREMENT, nullptr);
        LPBYTE buffer = nullptr;
        DWORD size = 0;
        while (db != INVALID_HANDLE_VALUE) {
            WORD count = 2;
            CEPROPID ids[2] = {kChangeState, kMessageEntryId};
            CEOID record =
                CeReadRecordPropsEx(db, CEDB_ALLOWREALLOC, &count, ids, &buffer, &size, nullptr);
            if (!record) break;
            auto* values = reinterpret_cast<CEPROPVAL*>(buffer);
            const CEBLOB& blob = values[1].val.blob;
            if (!(values[1].wFlags & CEDB_PROPNOTFOUND) &&
                std::vector<BYTE>(blob.lpb, blob.lpb + blob.dwCount) == message->entryId)
                found = {record, values[0].val.uiVal};
        }
        if (buffer) LocalFree(buffer);
        if (db != INVALID_HANDLE_VALUE) CloseHandle(db);
        CeUnmountDBVol(&volume);
        return found;
    }
    // What FindObjects hands the engine for partnership 1.
    activesync::ObjectList Objects() {
        activesync::DeviceHost host(device(), 1, {u"Message"});
        return host.FindObjects(u"Message");
    }
    static bool Lists(const std::vector<UINT>& ids, CEOID oid) {
        return std::find(ids.begin(), ids.end(), oid) != ids.end();
    }

    std::uint32_t m_store = 0;
};

TEST_F(DeviceServiceScenario, MailComposedMovedAndAddedWhileStoppedIsJournaledAndListed) {
    auto boot = emu::services::Boot(device());
    ASSERT_EQ(boot.size(), 1u);
    ASSERT_EQ(boot[0].error, 0u);
    ASSERT_TRUE(emu::services::Start(device(), u"KTNotif") == ERROR_SERVICE_ALREADY_RUNNING);
    WaitForService();

    auto composed = Compose(u"Composed");
    Settle();
    auto [record, state] = RecordOf(composed);
    ASSERT_NE(record, 0u);
    EXPECT_EQ(state, 3);
    auto objects = Objects();
    ASSERT_EQ(objects.result, S_OK);
    EXPECT_TRUE(Lists(objects.changed, record));

    ASSERT_TRUE(emu::cemapi::MoveMessage(device(), m_store, composed, FolderKind::DeletedItems));
    Settle();
    EXPECT_EQ(RecordOf(composed).second, 3);

    // Stopped, the service misses what happens; started, it catches up.
    ASSERT_EQ(emu::services::Stop(device(), u"KTNotif"), 0u);
    auto added = Compose(u"Added while stopped");
    auto draft = Compose(u"A draft");
    ASSERT_TRUE(emu::cemapi::MoveMessage(device(), m_store, draft, FolderKind::Drafts));
    EXPECT_EQ(RecordOf(added).first, 0u);
    ASSERT_EQ(emu::services::Start(device(), u"KTNotif"), 0u);
    ASSERT_TRUE(emu::services::Start(device(), u"KTNotif") == ERROR_SERVICE_ALREADY_RUNNING);
    WaitForService();
    EXPECT_EQ(RecordOf(added).second, 3);
    EXPECT_EQ(RecordOf(draft).first, 0u);
    objects = Objects();
    EXPECT_TRUE(Lists(objects.changed, RecordOf(added).first));
    EXPECT_EQ(objects.changed.size() + objects.unchanged.size(), 2u);
}

TEST_F(DeviceServiceScenario, TheJournalWaitsWhileTheProviderHoldsTheMailLock) {
    emu::services::Boot(device());
    WaitForService();
    // The provider holds the mail lock from a write Setup to its Reset.
    HANDLE lock = CreateMutexW(nullptr, FALSE, u"Message{C901BAA6-3A79-4d75-8395-CBF7AD3DDC89}");
    ASSERT_EQ(WaitForSingleObject(lock, INFINITE), WAIT_OBJECT_0);
    auto composed = Compose(u"During a sync");
    EXPECT_FALSE(emu::cemapi::WaitForNotifications(device(), std::chrono::milliseconds(200)));
    EXPECT_EQ(RecordOf(composed).first, 0u);
    ReleaseMutex(lock);
    Settle();
    EXPECT_EQ(RecordOf(composed).second, 3);
    CloseHandle(lock);
}

}  // namespace
