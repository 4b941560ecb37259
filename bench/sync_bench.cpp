// Synchronizing mail at scale through the engine with both real providers: the first pass over N
// desktop Inbox messages (6 KB bodies, every tenth with a 40 KB attachment), all of which reach
// the device, and a pass after it with nothing changed. Each reports seconds per pass,
// messages/s and the process's peak resident size during the pass (the high-water mark is reset
// just before it, so it covers the pass and what was resident before, not the world's filling).
// The same two passes for N address book contacts (a dozen fields and two addresses each), all
// of which reach the device's contacts, report contacts/s.
#include <benchmark/benchmark.h>
#include <wab.h>
#include <windows.h>

#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "activesync/desktop_host.h"
#include "activesync/device_host.h"
#include "activesync/device_link.h"
#include "activesync/device_session.h"
#include "activesync/partnerships.h"
#include "activesync/provider_install.h"
#include "activesync/sync_session.h"
#include "ce_db.h"
#include "emu/cemapi/message_stores.h"
#include "emu/mailclient/mail_client.h"
#include "emu/poom/contacts.h"
#include "emu/wab/address_book.h"
#include "journal.h"
#include "pal/runtime/context.h"
#include "pal/runtime/registry_store.h"
#include "provider_host.h"
#include "sync_world.h"

namespace {

using namespace activesync;

constexpr size_t kBodyBytes = 6 * 1024;
constexpr size_t kAttachmentBytes = 40 * 1024;

// A world with the mail client, the engine, both providers and a partnership synchronizing
// "Message", its desktop Inbox filled with `messages` messages.
class MailSyncWorld {
public:
    explicit MailSyncWorld(size_t messages) {
        pal::Machine& desktop = m_world.Desktop();
        pal::Machine& device = m_world.Device();
        emu::mailclient::InstallMailClient(desktop);
        InstallEngine(desktop, {false, false});
        if (velumex::InstallProvider(desktop, VELUMEX_MODULE_DIR) != S_OK)
            throw std::runtime_error("the desktop provider did not install");
        // The device's account and journal, as the launcher and the notification service leave
        // them, then the device provider.
        emu::cemapi::CreateStore(device, u"Kestrin");
        {
            pal::ScopedContext scope(device);
            pal::RegistryStore registry(device);
            registry.SetString(u"HKLM\\Software\\Microsoft\\Inbox\\Svc\\Kestrin", u"FriendlyName",
                               u"Kestrin");
            registry.CreateKey(u"HKCU\\Software\\Quorvane\\Velumex");
            CEGUID volume;
            WCHAR path[] = KESTRIN_VOLUME_PATH;
            if (!CeMountDBVol(&volume, path, OPEN_ALWAYS))
                throw std::runtime_error("the device volume did not mount");
            CreateDatabase(MAIL_JOURNAL_NAME, JOURNAL_DB_TYPE, nullptr, 0, nullptr, &volume);
            CeUnmountDBVol(&volume);
        }
        if (InstallDeviceProvider(device, std::string(VELUMEX_MODULE_DIR) + "/Kestrin.so") != S_OK)
            throw std::runtime_error("the device provider did not install");
        m_partnership = CreatePartnership(desktop, device, u"PocketPC").id;
        std::u16string type = PartnershipKeyPath(m_partnership) + u"\\" +
                              std::u16string(kObjectsSubkey) + u"\\Message";
        pal::RegistryStore(desktop).SetDword(type, u"Disabled", 0);
        pal::RegistryStore(desktop).SetString(type, u"Store", u"KV.WinCE.OE.3");
        Fill(messages);
    }

    // One pass of "Message", as `velumex sync` runs it.
    TypeReport Sync() {
        DeviceLink link(m_world.Get());
        if (!link.IsConnected()) link.Connect(m_partnership);
        DeviceSession deviceHalf(link);
        DesktopHost host(m_world.Desktop());
        SyncSession session(host, link);
        return session.Synchronize("Message");
    }

private:
    void Fill(size_t messages) {
        emu::mailclient::Message mail;
        mail.from = {"Ann Example", "ann@example.com"};
        mail.recipients = {{emu::mailclient::kTo, "Bob Example", "bob@example.com"}};
        for (size_t i = 0; i < messages; ++i) {
            mail.subject = "Report " + std::to_string(i);
            mail.body.assign(kBodyBytes, static_cast<char>('a' + i % 26));
            mail.attachments.clear();
            if (i % 10 == 0) {
                emu::mailclient::Attachment file;
                file.fileName = "figures" + std::to_string(i) + ".bin";
                file.content.assign(kAttachmentBytes, static_cast<std::uint8_t>(i));
                file.size = file.content.size();
                mail.attachments.push_back(std::move(file));
            }
            emu::mailclient::AddMessage(m_world.Desktop(), mail);
        }
    }

    SyncWorld m_world;
    DWORD m_partnership = 0;
};

// Resets the process's resident high-water mark (Linux "clear_refs" 5).
void ResetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The process's resident high-water mark in MiB, from "VmHWM" of /proc/self/status.
double PeakResidentMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

void Report(benchmark::State& state, size_t messages, double peakMiB) {
    state.counters["messages/s"] = benchmark::Counter(
        static_cast<double>(messages), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak_RSS_MiB"] = peakMiB;
}

// Whether the pass created every message on the device; the benchmark fails otherwise, saying
// what the pass did instead.
bool AllCreated(benchmark::State& state, const TypeReport& report, size_t messages) {
    size_t created = report.Count(SyncDirection::ToDevice, SyncAction::Created);
    if (created == messages) return true;
    std::string why = std::to_string(created) + " of " + std::to_string(messages) +
                      " objects reached the device";
    for (const auto& object : report.objects)
        if (object.action == SyncAction::Skipped) {
            why += "; one skipped: " + object.reason;
            break;
        }
    state.SkipWithError(why.c_str());
    return false;
}

// The first pass: every message is new and goes to the device. Each iteration fills a fresh
// world outside the timing.
void FirstSync(benchmark::State& state) {
    const auto messages = static_cast<size_t>(state.range(0));
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto world = std::make_unique<MailSyncWorld>(messages);
        ResetPeakResident();
        state.ResumeTiming();
        TypeReport report = world->Sync();
        state.PauseTiming();
        peak = std::max(peak, PeakResidentMiB());
        if (!AllCreated(state, report, messages)) break;
        world.reset();
        state.ResumeTiming();
    }
    Report(state, messages, peak);
}

// A pass after the first with nothing changed on either side.
void NoChangeSync(benchmark::State& state) {
    const auto messages = static_cast<size_t>(state.range(0));
    MailSyncWorld world(messages);
    if (!AllCreated(state, world.Sync(), messages)) return;
    ResetPeakResident();
    for (auto _ : state) {
        TypeReport report = world.Sync();
        if (!report.objects.empty()) {
            state.SkipWithError("a pass without changes moved objects");
            break;
        }
    }
    Report(state, messages, PeakResidentMiB());
}

// 100 messages is the size to profile at.
BENCHMARK(FirstSync)->Arg(100)->Arg(1000)->Arg(10000)->Iterations(1)->Unit(benchmark::kSecond)
    ->UseRealTime();
BENCHMARK(NoChangeSync)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A world with the address book, the engine, both providers and a partnership synchronizing
// "Address", the address book filled with `contacts` contacts.
class ContactsSyncWorld {
public:
    explicit ContactsSyncWorld(size_t contacts) {
        pal::Machine& desktop = m_world.Desktop();
        pal::Machine& device = m_world.Device();
        // The address book comes with the mail client, whose settings the store reads.
        emu::mailclient::InstallMailClient(desktop);
        emu::wab::InstallAddressBook(desktop);
        InstallEngine(desktop, {false, false});
        if (velumex::InstallProvider(desktop, VELUMEX_MODULE_DIR) != S_OK)
            throw std::runtime_error("the desktop provider did not install");
        // The device's contacts, its settings key and the contacts journal, as the launcher and
        // the notification service leave them, then the device provider.
        emu::poom::Install(device);
        {
            pal::ScopedContext scope(device);
            pal::RegistryStore(device).CreateKey(u"HKCU\\Software\\Quorvane\\Velumex");
            CEGUID volume;
            WCHAR path[] = KESTRIN_VOLUME_PATH;
            if (!CeMountDBVol(&volume, path, OPEN_ALWAYS))
                throw std::runtime_error("the device volume did not mount");
            SORTORDERSPEC sort{PROPID_CONTACT_OID, 0};
            CreateDatabase(CONTACTS_JOURNAL_NAME, JOURNAL_DB_TYPE, nullptr, 1, &sort, &volume);
            CeUnmountDBVol(&volume);
        }
        if (InstallDeviceProvider(device, std::string(VELUMEX_MODULE_DIR) + "/Kestrin.so") != S_OK)
            throw std::runtime_error("the device provider did not install");
        m_partnership = CreatePartnership(desktop, device, u"PocketPC").id;
        std::u16string type = PartnershipKeyPath(m_partnership) + u"\\" +
                              std::u16string(kObjectsSubkey) + u"\\Address";
        pal::RegistryStore(desktop).SetDword(type, u"Disabled", 0);
        pal::RegistryStore(desktop).SetString(type, u"Store", u"KV.WinCE.OE.3");
        Fill(contacts);
    }

    // One pass of "Address", as `velumex sync` runs it.
    TypeReport Sync() {
        DeviceLink link(m_world.Get());
        if (!link.IsConnected()) link.Connect(m_partnership);
        DeviceSession deviceHalf(link);
        DesktopHost host(m_world.Desktop());
        SyncSession session(host, link);
        return session.Synchronize("Address");
    }

private:
    void Fill(size_t contacts) {
        using emu::wab::Property;
        for (size_t i = 0; i < contacts; ++i) {
            std::string n = std::to_string(i);
            std::string address = "person" + n + "@example.com";
            emu::wab::AddEntry(
                m_world.Desktop(), emu::wab::kContact,
                {Property::Text(PR_DISPLAY_NAME_A, "Person " + n + " Example"),
                 Property::Text(PR_GIVEN_NAME_A, "Person " + n),
                 Property::Text(PR_SURNAME_A, "Example"),
                 Property::Text(PR_COMPANY_NAME_A, "Company " + std::to_string(i % 50)),
                 Property::Text(PR_TITLE_A, "Engineer"),
                 Property::Text(PR_BUSINESS_TELEPHONE_NUMBER_A, "+1 555 " + n),
                 Property::Text(PR_MOBILE_TELEPHONE_NUMBER_A, "+1 556 " + n),
                 Property::Text(PR_BUSINESS_ADDRESS_STREET_A, n + " Main Street"),
                 Property::Text(PR_BUSINESS_ADDRESS_CITY_A, "Springfield"),
                 Property::Text(PR_BUSINESS_ADDRESS_POSTAL_CODE_A, "12345"),
                 Property::Text(PR_COMMENT_A, "Met at the conference, table " + n + "."),
                 Property::Text(PR_EMAIL_ADDRESS_A, address),
                 Property::Number(PR_CONTACT_DEFAULT_ADDRESS_INDEX, 0),
                 Property::List(PR_CONTACT_EMAIL_ADDRESSES_A,
                                {address, "p" + n + "@example.org"})});
        }
    }

    SyncWorld m_world;
    DWORD m_partnership = 0;
};

void ReportContacts(benchmark::State& state, size_t contacts, double peakMiB) {
    state.counters["contacts/s"] = benchmark::Counter(
        static_cast<double>(contacts), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak_RSS_MiB"] = peakMiB;
}

// The first pass: every contact is new and goes to the device. Each iteration fills a fresh
// world outside the timing.
void ContactsFirstSync(benchmark::State& state) {
    const auto contacts = static_cast<size_t>(state.range(0));
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto world = std::make_unique<ContactsSyncWorld>(contacts);
        ResetPeakResident();
        state.ResumeTiming();
        TypeReport report = world->Sync();
        state.PauseTiming();
        peak = std::max(peak, PeakResidentMiB());
        if (!AllCreated(state, report, contacts)) break;
        world.reset();
        state.ResumeTiming();
    }
    ReportContacts(state, contacts, peak);
}

// A pass after the first with nothing changed on either side.
void ContactsNoChangeSync(benchmark::State& state) {
    const auto contacts = static_cast<size_t>(state.range(0));
    ContactsSyncWorld world(contacts);
    if (!AllCreated(state, world.Sync(), contacts)) return;
    ResetPeakResident();
    for (auto _ : state) {
        TypeReport report = world.Sync();
        if (!report.objects.empty()) {
            state.SkipWithError("a pass without changes moved objects");
            break;
        }
    }
    ReportContacts(state, contacts, PeakResidentMiB());
}

BENCHMARK(ContactsFirstSync)->Arg(2000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(ContactsNoChangeSync)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
