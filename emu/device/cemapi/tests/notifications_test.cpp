#include <atomic>
#include <mutex>

#include "cemapi_fixture.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"

namespace emu::cemapi::testing {
namespace {

using namespace std::chrono_literals;

struct Seen {
    ULONG event;
    std::vector<BYTE> entry;
    std::vector<BYTE> parent;
    std::vector<BYTE> oldParent;
    DWORD thread;
    DWORD process;
};

class RecordingSink : public IMAPIAdviseSink {
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP_(ULONG) OnNotify(ULONG cNotif, LPNOTIFICATION lpNotifications) override {
        std::lock_guard<std::mutex> guard(lock);
        ++calls;
        for (ULONG i = 0; i < cNotif; ++i) {
            const OBJECT_NOTIFICATION& obj = lpNotifications[i].info.obj;
            auto bytes = [](ULONG cb, LPENTRYID id) {
                auto p = reinterpret_cast<BYTE*>(id);
                return p ? std::vector<BYTE>(p, p + cb) : std::vector<BYTE>{};
            };
            seen.push_back(Seen{lpNotifications[i].ulEventType, bytes(obj.cbEntryID, obj.lpEntryID),
                                bytes(obj.cbParentID, obj.lpParentID),
                                bytes(obj.cbOldParentID, obj.lpOldParentID), GetCurrentThreadId(),
                                pal::CurrentProcess().Id()});
        }
        return S_OK;
    }
    std::vector<Seen> Take() {
        std::lock_guard<std::mutex> guard(lock);
        return std::move(seen);
    }

    std::atomic<ULONG> references{0};
    std::mutex lock;
    std::vector<Seen> seen;
    int calls = 0;
};

class Notifications : public CemapiTest {
protected:
    bool Drain() { return WaitForNotifications(pal::CurrentMachine(), 5s); }
};

TEST_F(Notifications, MessageChangesReachTheSinkOnAThreadOfItsOwn) {
    RecordingSink sink;
    ULONG connection = 0;
    ASSERT_EQ(m_store->Advise(0, nullptr, 0x7C, &sink, &connection), S_OK);
    EXPECT_NE(connection, 0u);
    EXPECT_EQ(sink.references, 1u);

    auto entry = NewMessage(PR_CE_IPM_INBOX_ENTRYID, W("watched"));
    ASSERT_TRUE(Drain());
    auto seen = sink.Take();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].event, static_cast<ULONG>(fnevObjectCreated));
    EXPECT_EQ(seen[1].event, static_cast<ULONG>(fnevObjectModified));
    EXPECT_TRUE(Same(seen[0].entry, entry));
    EXPECT_TRUE(Same(seen[0].parent, StoreEntry(PR_CE_IPM_INBOX_ENTRYID)));
    EXPECT_NE(seen[0].thread, GetCurrentThreadId());

    Ref<IMAPIFolder> inbox, deleted;
    OpenFolder(PR_CE_IPM_INBOX_ENTRYID, inbox);
    OpenFolder(PR_IPM_WASTEBASKET_ENTRYID, deleted);
    SBinary bin{static_cast<ULONG>(entry.size()), entry.data()};
    ENTRYLIST list{1, &bin};
    ASSERT_EQ(inbox->CopyMessages(&list, nullptr, deleted.Get(), 0, nullptr, MAPI_MOVE), S_OK);
    ASSERT_EQ(deleted->DeleteMessages(&list, 0, nullptr, 0), S_OK);
    ASSERT_TRUE(Drain());
    seen = sink.Take();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].event, static_cast<ULONG>(fnevObjectMoved));
    EXPECT_TRUE(Same(seen[0].entry, entry));
    EXPECT_TRUE(Same(seen[0].parent, StoreEntry(PR_IPM_WASTEBASKET_ENTRYID)));
    EXPECT_TRUE(Same(seen[0].oldParent, StoreEntry(PR_CE_IPM_INBOX_ENTRYID)));
    EXPECT_EQ(seen[1].event, static_cast<ULONG>(fnevObjectDeleted));
    EXPECT_TRUE(Same(seen[1].parent, StoreEntry(PR_IPM_WASTEBASKET_ENTRYID)));

    // Events outside the mask are not delivered; nothing after Unadvise.
    ASSERT_EQ(m_store->Unadvise(connection), S_OK);
    EXPECT_EQ(sink.references, 0u);
    EXPECT_EQ(m_store->Unadvise(connection), MAPI_E_NOT_FOUND);
    ASSERT_EQ(m_store->Advise(0, nullptr, fnevObjectDeleted, &sink, &connection), S_OK);
    NewMessage(PR_CE_IPM_INBOX_ENTRYID, W("unseen"));
    ASSERT_TRUE(Drain());
    EXPECT_TRUE(sink.Take().empty());
    ASSERT_EQ(m_store->Unadvise(connection), S_OK);
}

TEST_F(Notifications, ChangesOfOneProcessReachTheSinkOfAnotherInItsOwnProcess) {
    pal::Machine& device = pal::CurrentMachine();
    auto service = device.CreateProcess(u"\\Windows\\services.exe");
    auto sync = device.CreateProcess(u"\\Windows\\repllog.exe");
    RecordingSink sink;
    ULONG connection = 0;
    {
        pal::ScopedContext in(device, service);
        Ref<IMAPISession> session;
        ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
        ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, session.Out()), S_OK);
        auto entry = StoreEntryOf(session.Get());
        Ref<IMsgStore> store;
        ASSERT_EQ(session->OpenMsgStore(0, static_cast<ULONG>(entry.size()),
                                        reinterpret_cast<LPENTRYID>(entry.data()), nullptr, 0, store.Out()),
                  S_OK);
        ASSERT_EQ(store->Advise(0, nullptr, 0x7C, &sink, &connection), S_OK);
    }
    std::vector<BYTE> written;
    {
        pal::ScopedContext in(device, sync);
        ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
        Ref<IMAPISession> session;
        ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, session.Out()), S_OK);
        session.Swap(m_session);
        written = NewMessage(PR_IPM_OUTBOX_ENTRYID, W("from the sync process"));
        session.Swap(m_session);
        MAPIUninitialize();
    }
    ComposeMessage(device, m_storeNumber, {u"typed by the user", {{MAPI_TO, u"", u"x@y.z", u""}}, u"hi", {}});
    ASSERT_TRUE(Drain());
    auto seen = sink.Take();
    ASSERT_EQ(seen.size(), 3u);
    for (const auto& s : seen) EXPECT_EQ(s.process, service->Id());
    EXPECT_TRUE(Same(seen[0].entry, written));
    EXPECT_EQ(seen[2].event, static_cast<ULONG>(fnevObjectCreated));
    EXPECT_TRUE(Same(seen[2].parent, StoreEntry(PR_IPM_OUTBOX_ENTRYID)));

    // The service's last MAPIUninitialize ends its registration.
    {
        pal::ScopedContext in(device, service);
        MAPIUninitialize();
    }
    EXPECT_EQ(sink.references, 0u);
    NewMessage(PR_CE_IPM_INBOX_ENTRYID, W("after"));
    ASSERT_TRUE(Drain());
    EXPECT_TRUE(sink.Take().empty());
}

TEST_F(Notifications, DrainingWaitsForASinkThatIsStillBusy) {
    class SlowSink : public RecordingSink {
    public:
        STDMETHODIMP_(ULONG) OnNotify(ULONG cNotif, LPNOTIFICATION lpNotifications) override {
            entered = true;
            Sleep(300);
            return RecordingSink::OnNotify(cNotif, lpNotifications);
        }
        std::atomic<bool> entered{false};
    } sink;
    ULONG connection = 0;
    ASSERT_EQ(m_store->Advise(0, nullptr, fnevObjectCreated, &sink, &connection), S_OK);
    NewMessage(PR_CE_IPM_INBOX_ENTRYID, W("slow"));
    EXPECT_FALSE(WaitForNotifications(pal::CurrentMachine(), 10ms));
    ASSERT_TRUE(Drain());
    EXPECT_EQ(sink.Take().size(), 1u);
    // Unadvise while a call is under way waits for it to finish.
    sink.entered = false;
    NewMessage(PR_CE_IPM_INBOX_ENTRYID, W("slow again"));
    for (int i = 0; i < 5000 && !sink.entered; ++i) Sleep(1);
    ASSERT_TRUE(sink.entered);
    ASSERT_EQ(m_store->Unadvise(connection), S_OK);
    EXPECT_EQ(sink.Take().size(), 1u);
    ASSERT_TRUE(Drain());
}

}  // namespace
}  // namespace emu::cemapi::testing
