// Synchronizing mail at scale through the engine with both real providers: the first pass over N
// desktop Inbox messages (6 KB bodies, every tenth with a 40 KB attachment), all of which reach
// the device, and a pass after it with nothing changed. Each reports seconds per pass,
// messages/s and the process's peak resident size during the pass (the high-water mark is reset
// just before it, so it covers the pass and what was resident before, not the world's filling).
// The same two passes for N address book contacts (a dozen fields and two addresses each), all
// of which reach the device's contacts, report contacts/s.
//
// A pass hands each object between several threads; run under `taskset -c 0` to measure it on
// one core, where those hand-offs cost no cross-CPU wake-ups.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
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
        }
        m_world.CreateJournal(MAIL_JOURNAL_NAME, 0);
        m_world.Partner("Message");
        Fill(messages);
    }

    // One pass of "Message", as `velumex sync` runs it.
    TypeReport Sync() { return m_world.Sync(); }

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
};

// CPU seconds the whole process has used so far, in user and kernel mode, on all its threads.
double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

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

// Objects per second under `rate`, and the peak resident size.
void Report(benchmark::State& state, const char* rate, size_t objects, double peakMiB) {
    state.counters[rate] = benchmark::Counter(static_cast<double>(objects),
                                              benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak_RSS_MiB"] = peakMiB;
}

// Whether the pass created every object on the device; the benchmark fails otherwise, saying
// what the pass did instead.
bool AllCreated(benchmark::State& state, const TypeReport& report, size_t objects) {
    size_t created = report.Count(SyncDirection::ToDevice, SyncAction::Created);
    if (created == objects) return true;
    std::string why = std::to_string(created) + " of " + std::to_string(objects) +
                      " objects reached the device";
    for (const auto& object : report.objects)
        if (object.action == SyncAction::Skipped) {
            why += "; one skipped: " + object.reason;
            break;
        }
    state.SkipWithError(why.c_str());
    return false;
}

// The first pass: every object is new and goes to the device. Each iteration fills a fresh
// world outside the timing. Besides the pass's wall time it reports the CPU time all the
// process's threads spent in it, which varies less from run to run.
template <class World>
void FirstPass(benchmark::State& state, const char* rate) {
    const auto objects = static_cast<size_t>(state.range(0));
    double peak = 0;
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto world = std::make_unique<World>(objects);
        ResetPeakResident();
        double cpuBefore = ProcessCpuSeconds();
        state.ResumeTiming();
        TypeReport report = world->Sync();
        state.PauseTiming();
        cpu += ProcessCpuSeconds() - cpuBefore;
        peak = std::max(peak, PeakResidentMiB());
        if (!AllCreated(state, report, objects)) break;
        world.reset();
        state.ResumeTiming();
    }
    Report(state, rate, objects, peak);
    state.counters["process_CPU_s"] =
        benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
}

// A pass after the first with nothing changed on either side.
template <class World>
void NoChangePass(benchmark::State& state, const char* rate) {
    const auto objects = static_cast<size_t>(state.range(0));
    World world(objects);
    if (!AllCreated(state, world.Sync(), objects)) return;
    ResetPeakResident();
    for (auto _ : state) {
        TypeReport report = world.Sync();
        if (!report.objects.empty()) {
            state.SkipWithError("a pass without changes moved objects");
            break;
        }
    }
    Report(state, rate, objects, PeakResidentMiB());
}

void FirstSync(benchmark::State& state) { FirstPass<MailSyncWorld>(state, "messages/s"); }
void NoChangeSync(benchmark::State& state) { NoChangePass<MailSyncWorld>(state, "messages/s"); }

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
        // the notification service leave them, then the device provider and the partnership.
        emu::poom::Install(device);
        pal::RegistryStore(device).CreateKey(u"HKCU\\Software\\Quorvane\\Velumex");
        m_world.CreateJournal(CONTACTS_JOURNAL_NAME, PROPID_CONTACT_OID);
        m_world.Partner("Address");
        Fill(contacts);
    }

    // One pass of "Address", as `velumex sync` runs it.
    TypeReport Sync() { return m_world.Sync(); }

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
};

void ContactsFirstSync(benchmark::State& state) {
    FirstPass<ContactsSyncWorld>(state, "contacts/s");
}
void ContactsNoChangeSync(benchmark::State& state) {
    NoChangePass<ContactsSyncWorld>(state, "contacts/s");
}

BENCHMARK(ContactsFirstSync)->Arg(2000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(ContactsNoChangeSync)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
