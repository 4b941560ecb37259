// A device with the notification service installed, the contacts application set up, and helpers
// that read the journals the service keeps.
#pragma once

#include <cedb.h>
#include <gtest/gtest.h>
#include <service.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "emu/poom/contacts.h"
#include "emu/services/service_host.h"
#include "pal_testing/temp_world.h"

namespace notify_testing {

constexpr CEPROPID kContactOid = 0xA0690013;
constexpr CEPROPID kChangeState = 0xA0700012;
constexpr CEPROPID kMessageEntryId = 0xA0710041;

struct JournalRecord {
    CEOID oid = 0;
    int state = -1;  // -1: no ChangeState
    ULONG contact = 0;
    std::vector<BYTE> entry;
};

class NotifyTest : public pal::testing::DeviceTest {
protected:
    void SetUp() override {
        ASSERT_EQ(emu::services::InstallService(m_world.Device(),
                                                std::string(VELUMEX_MODULE_DIR) + "/KTnotif.so",
                                                u"\\Windows\\KTnotif.dll"),
                  S_OK);
        emu::poom::Install(m_world.Device());
    }
    void TearDown() override { emu::services::ShutDown(m_world.Device()); }

    DWORD StartService() { return emu::services::Start(m_world.Device(), u"KTNotif"); }
    DWORD StopService() { return emu::services::Stop(m_world.Device(), u"KTNotif"); }

    // The records of a journal ("_notif_KT" or "_notif_KTMSG") in journal order; empty when
    // there is no journal.
    static std::vector<JournalRecord> Journal(const char16_t* name, bool* exists = nullptr) {
        std::vector<JournalRecord> records;
        if (exists) *exists = false;
        CEGUID volume;
        WCHAR path[] = u"\\kestrin.vol";
        if (!CeMountDBVol(&volume, path, OPEN_EXISTING)) return records;
        std::u16string text(name);
        CEOID oid = 0;
        HANDLE db = CeOpenDatabaseEx(&volume, &oid, text.data(), 0, CEDB_AUTOINCREMENT, nullptr);
        if (db != INVALID_HANDLE_VALUE) {
            if (exists) *exists = true;
            LPBYTE buffer = nullptr;
            DWORD size = 0;
            for (;;) {
                WORD count = 3;
                CEPROPID ids[3] = {kChangeState, kContactOid, kMessageEntryId};
                CEOID record = CeReadRecordPropsEx(db, CEDB_ALLOWREALLOC, &count, ids, &buffer,
                                                   &size, nullptr);
                if (!record) break;
                auto* values = reinterpret_cast<CEPROPVAL*>(buffer);
                JournalRecord entry;
                entry.oid = record;
                if (!(values[0].wFlags & CEDB_PROPNOTFOUND)) entry.state = values[0].val.uiVal;
                if (!(values[1].wFlags & CEDB_PROPNOTFOUND)) entry.contact = values[1].val.ulVal;
                if (!(values[2].wFlags & CEDB_PROPNOTFOUND))
                    entry.entry.assign(values[2].val.blob.lpb,
                                       values[2].val.blob.lpb + values[2].val.blob.dwCount);
                records.push_back(std::move(entry));
            }
            if (buffer) LocalFree(buffer);
            CloseHandle(db);
        }
        CeUnmountDBVol(&volume);
        return records;
    }
    static std::vector<JournalRecord> Contacts() { return Journal(u"_notif_KT"); }
    static std::vector<JournalRecord> Mail() { return Journal(u"_notif_KTMSG"); }

    // The contacts journal's record of a contact, or none (state -2).
    static JournalRecord ContactRecord(CEOID contact) {
        for (auto& record : Contacts())
            if (record.contact == contact) return record;
        return JournalRecord{0, -2, 0, {}};
    }

    // The service's hidden window, a top-level window titled "_notif_KT"; NULL when none.
    static HWND ServiceWindow() {
        for (HWND window = GetWindow(GetForegroundWindow(), GW_HWNDFIRST); window;
             window = GetWindow(window, GW_HWNDNEXT)) {
            WCHAR title[16] = {};
            GetWindowTextW(window, title, 16);
            if (std::u16string(title) == u"_notif_KT") return window;
        }
        return nullptr;
    }
    // Waits until the service's start-up has run: its window exists and its thread has come to
    // its message loop. False when no window appears.
    static bool Started() {
        if (!Eventually([] { return ServiceWindow() != nullptr; })) return false;
        SendMessageW(ServiceWindow(), WM_NULL, 0, 0);
        return true;
    }
    // Starts the service and waits for its start-up.
    bool Run() { return StartService() == 0 && Started(); }

    // Waits (at most ten seconds) for the service thread to have brought about `condition`.
    static bool Eventually(const std::function<bool()>& condition) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
};

}  // namespace notify_testing
