// Synchronizations of the test type "Thing" between a desktop store and a device provider that
// keep their objects in text files (fixtures/), through the engine's store thread, the link and
// the device half.
#include "activesync/sync_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "activesync/desktop_host.h"
#include "activesync/device_link.h"
#include "activesync/device_session.h"
#include "activesync/partnerships.h"
#include "activesync/replication_state.h"
#include "fixtures/thing_file.h"
#include "pal/runtime/context.h"
#include "pal/runtime/module_install.h"
#include "pal/runtime/registry_store.h"
#include "pal_testing/temp_world.h"

namespace {

using namespace activesync;

const char16_t kStorePath[] = u"C:\\Program Files\\Things\\ThingStore.dll";
const char16_t kStoreClsid[] = u"{5A0C7E10-1B2D-4E3F-8A4B-6C7D8E9FA001}";

std::vector<std::string> Texts(const thing::Things& things) {
    std::vector<std::string> texts;
    for (const auto& [id, thing] : things) texts.push_back(thing.text);
    std::sort(texts.begin(), texts.end());
    return texts;
}

class SyncTest : public ::testing::Test {
protected:
    SyncTest() {
        std::string modules = VELUMEX_MODULE_DIR;
        pal::InstallModule(desktop, modules + "/activesync_thing_store.so", kStorePath);
        pal::RegistryStore classes(desktop);
        classes.SetString(u"HKLM\\SOFTWARE\\Classes\\Velumex.TestThing\\CLSID", u"", kStoreClsid);
        classes.SetString(std::u16string(u"HKLM\\SOFTWARE\\Classes\\CLSID\\") + kStoreClsid +
                              u"\\InprocServer32",
                          u"", kStorePath);
        pal::InstallModule(device, modules + "/activesync_thing_provider.so", u"\\Windows\\Thing.dll");
        pal::RegistryStore(device).SetString(
            std::u16string(u"HKLM\\") + kDeviceObjectsKey + u"\\Thing", u"Store",
            u"\\Windows\\Thing.dll");
        m_id = CreatePartnership(desktop, device, u"PocketPC").id;
        std::u16string thingKey =
            PartnershipKeyPath(m_id) + u"\\" + std::u16string(kObjectsSubkey) + u"\\Thing";
        classes.SetDword(thingKey, u"Disabled", 0);
        classes.SetString(thingKey, u"Store", u"Velumex.TestThing");
        link.emplace(world.Get());
        link->Connect(m_id);
        deviceHalf.emplace(*link);
        host.emplace(desktop);
        session.emplace(*host, *link);
    }
    ~SyncTest() override {
        session.reset();
        host.reset();
        deviceHalf.reset();
        link.reset();
    }

    thing::Things DesktopThings() {
        pal::ScopedContext context(desktop);
        return thing::Load(thing::kDesktopFile);
    }
    thing::Things DeviceThings() {
        pal::ScopedContext context(device);
        return thing::Load(thing::kDeviceFile);
    }
    void SetDesktop(const thing::Things& things) {
        pal::ScopedContext context(desktop);
        thing::Save(thing::kDesktopFile, things);
    }
    void SetDevice(const thing::Things& things) {
        pal::ScopedContext context(device);
        thing::Save(thing::kDeviceFile, things);
    }
    std::string Calls(pal::Machine& machine, const WCHAR* path) {
        pal::ScopedContext context(machine);
        HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return {};
        char buffer[8192];
        DWORD got = 0;
        ReadFile(file, buffer, sizeof buffer, &got, nullptr);
        CloseHandle(file);
        return std::string(buffer, got);
    }
    // Desktop text changed as a user edit: a new stamp.
    void EditDesktop(DWORD id, const std::string& text) {
        auto things = DesktopThings();
        things[id].text = text;
        ++things[id].mark;
        SetDesktop(things);
    }
    // Device text changed as a device edit: changed for the engine.
    void EditDevice(DWORD oid, const std::string& text) {
        auto things = DeviceThings();
        things[oid] = {1, text};
        SetDevice(things);
    }
    DWORD DeviceOidOf(const std::string& text) {
        for (const auto& [oid, thing] : DeviceThings())
            if (thing.text == text) return oid;
        return 0;
    }
    TypeReport Sync(const SyncOptions& options = {}) {
        return session->Synchronize("Thing", options);
    }
    LONG LiveHandles() {
        pal::ScopedContext context(desktop, host->Process());
        HMODULE module = LoadLibraryW(kStorePath);
        auto count = reinterpret_cast<LONG (*)()>(GetProcAddress(module, "ThingLiveHandles"));
        LONG live = count ? count() : -1;
        FreeLibrary(module);
        return live;
    }

    pal::testing::TempWorld world;
    pal::Machine& desktop = world.Desktop();
    pal::Machine& device = world.Device();
    DWORD m_id = 0;
    std::optional<DeviceLink> link;
    std::optional<DeviceSession> deviceHalf;
    std::optional<DesktopHost> host;
    std::optional<SyncSession> session;
};

TEST_F(SyncTest, FirstSyncCombinesBothSidesThenASecondDoesNothing) {
    SetDesktop({{1, {1, "alpha"}}, {2, {1, "out:beta"}}});
    SetDevice({{0x20001, {0, "gamma"}}, {0x20002, {1, "delta"}}});
    std::vector<std::string> progress;
    SyncOptions options;
    options.progress = [&](const std::string& line) { progress.push_back(line); };

    TypeReport first = Sync(options);
    EXPECT_EQ(first.Count(SyncDirection::ToDevice, SyncAction::Created), 1u);
    EXPECT_EQ(first.Count(SyncDirection::ToDesktop, SyncAction::Created), 2u);
    // The desktop's packets of 4 bytes arrive as one object; what is out of scope stays home.
    EXPECT_EQ(Texts(DeviceThings()), (std::vector<std::string>{"alpha", "delta", "gamma"}));
    EXPECT_EQ(Texts(DesktopThings()),
              (std::vector<std::string>{"alpha", "delta", "gamma", "out:beta"}));
    for (const auto& [oid, thing] : DeviceThings()) EXPECT_EQ(thing.mark, 0u) << oid;
    EXPECT_GE(progress.size(), 5u);

    ReplicationState state(desktop);
    EXPECT_EQ(state.Entries(m_id, "Thing").size(), 3u);
    ASSERT_TRUE(state.Folder(m_id, "Thing"));
    EXPECT_EQ(state.Folder(m_id, "Thing")->storeId, Bytes({'t', 'h', 'i', 'n', 'g', 's'}));

    TypeReport second = Sync();
    EXPECT_TRUE(second.objects.empty());
    EXPECT_EQ(DeviceThings().size(), 3u);
    EXPECT_EQ(DesktopThings().size(), 4u);

    // Every handle the passes made was freed; the session still holds the folder.
    EXPECT_EQ(LiveHandles(), 1);
    std::string desktopCalls = Calls(desktop, thing::kDesktopCalls);
    EXPECT_NE(desktopCalls.find("status 1\nstatus 2\n"), std::string::npos) << desktopCalls;
    std::string deviceCalls = Calls(device, thing::kDeviceCalls);
    EXPECT_NE(deviceCalls.find("status 1"), std::string::npos) << deviceCalls;
    EXPECT_NE(deviceCalls.find("status 2"), std::string::npos) << deviceCalls;
    session.reset();
    EXPECT_NE(Calls(desktop, thing::kDesktopCalls).find("status 6"), std::string::npos);
}

TEST_F(SyncTest, ChangesAndDeletionsTravelBothWays) {
    SetDesktop({{1, {1, "one"}}, {2, {1, "two"}}, {3, {1, "three"}}});
    SetDevice({{0x20001, {1, "four"}}, {0x20002, {1, "five"}}});
    Sync();
    ASSERT_EQ(DeviceThings().size(), 5u);

    EditDesktop(1, "one, edited");
    auto desktopThings = DesktopThings();
    desktopThings.erase(2);
    SetDesktop(desktopThings);
    EditDevice(0x20001, "four, edited");
    auto deviceThings = DeviceThings();
    deviceThings.erase(0x20002);
    SetDevice(deviceThings);

    TypeReport report = Sync();
    EXPECT_EQ(report.Count(SyncDirection::ToDevice, SyncAction::Changed), 1u);
    EXPECT_EQ(report.Count(SyncDirection::ToDevice, SyncAction::Deleted), 1u);
    EXPECT_EQ(report.Count(SyncDirection::ToDesktop, SyncAction::Changed), 1u);
    EXPECT_EQ(report.Count(SyncDirection::ToDesktop, SyncAction::Deleted), 1u);
    std::vector<std::string> expected{"four, edited", "one, edited", "three"};
    EXPECT_EQ(Texts(DesktopThings()), expected);
    EXPECT_EQ(Texts(DeviceThings()), expected);
    EXPECT_TRUE(Sync().objects.empty());

    // Gone on both sides meanwhile: the entry goes quietly.
    desktopThings = DesktopThings();
    desktopThings.erase(3);
    SetDesktop(desktopThings);
    deviceThings = DeviceThings();
    deviceThings.erase(DeviceOidOf("three"));
    SetDevice(deviceThings);
    EXPECT_TRUE(Sync().objects.empty());
    EXPECT_EQ(ReplicationState(desktop).Entries(m_id, "Thing").size(), 2u);
}

TEST_F(SyncTest, ObjectsChangedOnBothSidesFollowTheStoreAndTheConflictRule) {
    SetDesktop({{1, {1, "a"}}, {2, {1, "ignore:b"}}});
    Sync();
    EditDesktop(1, "a desktop");
    EditDevice(DeviceOidOf("a"), "a device");
    EditDesktop(2, "ignore:b desktop");
    EditDevice(DeviceOidOf("ignore:b"), "ignore:b device");

    // Left alone by default: both keep their own and it is reported.
    TypeReport left = Sync();
    EXPECT_EQ(left.Count(SyncDirection::ToDevice, SyncAction::Conflict), 1u);
    EXPECT_EQ(DesktopThings()[1].text, "a desktop");
    EXPECT_NE(DeviceOidOf("a device"), 0u);
    // The store ignored the other conflict: each side's change reached the other.
    EXPECT_EQ(DesktopThings()[2].text, "ignore:b device");
    EXPECT_NE(DeviceOidOf("ignore:b desktop"), 0u);

    SyncOptions desktopWins;
    desktopWins.conflicts = ConflictRule::DesktopWins;
    TypeReport settled = Sync(desktopWins);
    EXPECT_EQ(settled.Count(SyncDirection::ToDevice, SyncAction::Changed), 1u);
    EXPECT_NE(DeviceOidOf("a desktop"), 0u);
    EXPECT_EQ(DeviceOidOf("a device"), 0u);
    EXPECT_TRUE(Sync().objects.empty());
}

TEST_F(SyncTest, TheDesktopStoreDecidesWhatBecomesOfDeviceObjects) {
    SetDesktop({{1, {1, "kept"}}});
    SetDevice({{0x20001, {1, "discard:x"}}, {0x20002, {1, "skip:y"}}});
    TypeReport report = Sync();
    // Discarded: the device copy goes. Skipped: left changed, offered again next time.
    EXPECT_EQ(report.Count(SyncDirection::ToDevice, SyncAction::Deleted), 1u);
    EXPECT_EQ(report.Count(SyncDirection::ToDesktop, SyncAction::Skipped), 1u);
    EXPECT_EQ(Texts(DeviceThings()), (std::vector<std::string>{"kept", "skip:y"}));
    EXPECT_EQ(DeviceThings()[0x20002].mark, 1u);
    EXPECT_EQ(Texts(DesktopThings()), (std::vector<std::string>{"kept"}));
    EXPECT_EQ(Sync().Count(SyncDirection::ToDesktop, SyncAction::Skipped), 1u);

    // A write that the store then moves away (reported RNC_DELETED at Reset) is gone on both.
    EditDevice(DeviceOidOf("kept"), "trash:kept");
    Sync();
    EXPECT_TRUE(DesktopThings().empty());
    EXPECT_EQ(Texts(DeviceThings()), (std::vector<std::string>{"skip:y"}));
    EXPECT_TRUE(ReplicationState(desktop).Entries(m_id, "Thing").empty());

    // Discarded by the store and reported deleted at Reset while it still exists: gone on both.
    SetDesktop({{1, {1, "kept"}}});
    Sync();
    ASSERT_NE(DeviceOidOf("kept"), 0u);
    EditDevice(DeviceOidOf("kept"), "bin:kept");
    TypeReport binned = Sync();
    EXPECT_EQ(binned.Count(SyncDirection::ToDevice, SyncAction::Deleted), 1u);
    EXPECT_EQ(binned.Count(SyncDirection::ToDesktop, SyncAction::Deleted), 1u);
    EXPECT_TRUE(DesktopThings().empty());
    EXPECT_EQ(Texts(DeviceThings()), (std::vector<std::string>{"skip:y"}));
    EXPECT_TRUE(ReplicationState(desktop).Entries(m_id, "Thing").empty());
}

TEST_F(SyncTest, ChangesReportedAfterTheLastPassAreFreedWhenTheStoreIsReleased) {
    SetDesktop({{1, {1, "late:x"}}});
    Sync();
    session.reset();
    std::string calls = Calls(desktop, thing::kDesktopCalls);
    EXPECT_NE(calls.find("status 6\nreleased, 0 handles live"), std::string::npos) << calls;
}

TEST_F(SyncTest, AnObjectLeavingTheDesktopSelectionLeavesTheDevice) {
    SetDesktop({{1, {1, "inside"}}, {2, {1, "also"}}});
    Sync();
    EditDesktop(1, "out:inside");
    TypeReport report = Sync();
    EXPECT_EQ(report.Count(SyncDirection::ToDevice, SyncAction::Deleted), 1u);
    EXPECT_EQ(Texts(DeviceThings()), (std::vector<std::string>{"also"}));
    EXPECT_EQ(DesktopThings().size(), 2u);
}

TEST_F(SyncTest, DuplicatesRemovedByTheStoreAreComparedAgain) {
    SetDesktop({{1, {1, "dup:same"}}, {2, {1, "dup:same"}}, {3, {1, "other"}}});
    TypeReport report = Sync();
    EXPECT_EQ(report.restarts, 1);
    EXPECT_EQ(Texts(DesktopThings()), (std::vector<std::string>{"dup:same", "other"}));
    EXPECT_EQ(Texts(DeviceThings()), (std::vector<std::string>{"dup:same", "other"}));
    EXPECT_TRUE(Sync().objects.empty());
}

TEST_F(SyncTest, ADryRunReportsAndChangesNothing) {
    SetDesktop({{1, {1, "one"}}});
    SetDevice({{0x20001, {1, "two"}}});
    SyncOptions dry;
    dry.dryRun = true;
    TypeReport report = Sync(dry);
    EXPECT_EQ(report.Count(SyncDirection::ToDevice, SyncAction::Created), 1u);
    EXPECT_EQ(report.Count(SyncDirection::ToDesktop, SyncAction::Created), 1u);
    EXPECT_EQ(DesktopThings().size(), 1u);
    EXPECT_EQ(DeviceThings().size(), 1u);
    EXPECT_FALSE(ReplicationState(desktop).Folder(m_id, "Thing"));
    EXPECT_EQ(Sync().objects.size(), 2u);
}

TEST_F(SyncTest, AWriteWhoseReplyWasLostIsNeitherRepeatedNorLost) {
    SetDesktop({{1, {1, "made"}}, {2, {1, "never arrived"}}});
    SetDevice({{0x20001, {0, "made"}}});
    // What a pass leaves when the link drops between the device's write and its reply: both
    // entries await their writes' outcomes; only the first reached the device.
    auto entry = [](DWORD id, std::uint64_t token) {
        ReplicationEntry saved;
        saved.item = {2, 0, 9, 0, 0, 0, static_cast<std::uint8_t>(id), 0, 0, 0, 1, 0, 0, 0};
        saved.pendingToken = token;
        return saved;
    };
    {
        ReplicationState state(desktop);
        auto made = entry(1, 77), lost = entry(2, 78);
        state.Save(m_id, "Thing", made);
        state.Save(m_id, "Thing", lost);
        state.SetFolder(m_id, "Thing", {Bytes{'t', 'h', 'i', 'n', 'g', 's'}, Bytes{}});
    }
    std::ofstream(device.Dir() / "syncwrites.log") << "77 0 " << 0x20001 << "\n";
    deviceHalf.reset();  // the device half reads the outcomes when it starts
    deviceHalf.emplace(*link);

    TypeReport report = Sync();
    EXPECT_EQ(report.Count(SyncDirection::ToDevice, SyncAction::Created), 1u);
    EXPECT_EQ(Texts(DeviceThings()), (std::vector<std::string>{"made", "never arrived"}));
    auto entries = ReplicationState(desktop).Entries(m_id, "Thing");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].oid, 0x20001u);
    EXPECT_EQ(entries[0].pendingToken, 0u);
    EXPECT_TRUE(Sync().objects.empty());
}

TEST_F(SyncTest, TheLinkDroppingAtAnyCallStopsTheSyncAndTheNextConverges) {
    for (unsigned every : {5u, 6u, 7u, 9u}) {
        SCOPED_TRACE("every " + std::to_string(every));
        SetDesktop({{1, {1, "d1"}}, {2, {1, "d2"}}, {3, {1, "d3"}}, {4, {1, "d4"}}});
        SetDevice({{0x20001, {0, "v1"}}, {0x20002, {1, "v2"}}, {0x20003, {1, "v3"}}});
        session.reset();
        ReplicationState(desktop).Reset(m_id, "Thing");
        session.emplace(*host, *link);

        link->DropEvery(every);
        int failures = 0;
        for (int attempt = 0; attempt < 40; ++attempt) {
            if (!link->IsConnected()) link->Connect(m_id);
            try {
                Sync();
                break;
            } catch (const LinkLost& error) {
                ++failures;
                EXPECT_NE(std::string(error.what()).find("disconnected"), std::string::npos);
            }
        }
        EXPECT_GT(failures, 0);
        link->DropEvery(0);
        if (!link->IsConnected()) link->Connect(m_id);
        Sync();
        std::vector<std::string> all{"d1", "d2", "d3", "d4", "v1", "v2", "v3"};
        EXPECT_EQ(Texts(DesktopThings()), all);
        EXPECT_EQ(Texts(DeviceThings()), all);
        EXPECT_TRUE(Sync().objects.empty());
        EXPECT_EQ(ReplicationState(desktop).Entries(m_id, "Thing").size(), all.size());
    }
}

TEST_F(SyncTest, ADisconnectDuringASyncLosesAndDuplicatesNothing) {
    thing::Things desktopThings, deviceThings;
    std::vector<std::string> all;
    for (DWORD i = 1; i <= 40; ++i) {
        desktopThings[i] = {1, "d" + std::to_string(i)};
        deviceThings[0x20000 + i] = {1, "v" + std::to_string(i)};
        all.push_back("d" + std::to_string(i));
        all.push_back("v" + std::to_string(i));
    }
    std::sort(all.begin(), all.end());
    SetDesktop(desktopThings);
    SetDevice(deviceThings);
    // The device is pulled out while calls are in flight, wherever the pass happens to be.
    int lost = 0;
    for (int delayMs : {5, 20, 40}) {
        std::thread unplug([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            link->Disconnect();
        });
        try {
            Sync();
        } catch (const LinkLost&) {
            ++lost;
        }
        unplug.join();
        link->Connect(m_id);
    }
    EXPECT_GT(lost, 0);
    Sync();
    EXPECT_EQ(Texts(DesktopThings()), all);
    EXPECT_EQ(Texts(DeviceThings()), all);
    EXPECT_TRUE(Sync().objects.empty());
}

TEST_F(SyncTest, ATypeThePartnershipDoesNotSynchronizeIsRefused) {
    EXPECT_THROW(session->Synchronize("Contact"), SyncError);
    auto types = session->EnabledTypes();
    EXPECT_NE(std::find(types.begin(), types.end(), "Thing"), types.end());
}

}  // namespace
