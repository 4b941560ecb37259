// velumex sync [--type T] [--dry-run] [--watch [--for S]] [--json] [--conflicts RULE]: the engine
// synchronizes the connected partnership; velumex sync state: what it keeps between
// synchronizations.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include "activesync/desktop_host.h"
#include "activesync/device_link.h"
#include "activesync/device_session.h"
#include "activesync/partnerships.h"
#include "activesync/replication_state.h"
#include "activesync/sync_session.h"
#include "cli.h"
#include "contacts_cli.h"
#include "mail_folder_calls.h"

namespace velumex {

namespace {

using activesync::ObjectReport;
using activesync::TypeReport;

std::atomic<bool> g_interrupted{false};

std::string HexBytes(const activesync::Bytes& bytes) {
    std::string text;
    char pair[3];
    for (auto byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

std::string HexId(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(value));
    return text;
}

// How an object is named in reports: a mail item by its message id, a contact by its address
// book number, a device-only object by its id.
std::string Label(const ObjectReport& object) {
    if (auto id = MailItemId(object.item)) return "message " + *id;
    if (auto number = ContactItemNumber(object.item)) return "contact " + std::to_string(*number);
    if (!object.item.empty()) return "item " + HexBytes(object.item);
    return "device object " + HexId(object.oid);
}

std::string Json(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

void PrintReport(const TypeReport& report) {
    using activesync::SyncAction;
    using activesync::SyncDirection;
    std::cout << report.type << (report.dryRun ? " (dry run, nothing changed)" : "") << ":\n";
    if (report.objects.empty()) std::cout << "  nothing to do\n";
    for (const auto& object : report.objects) {
        std::cout << "  " << activesync::ToText(object.direction) << "  "
                  << activesync::ToText(object.action) << "  " << Label(object);
        if (object.oid) std::cout << " (device " << HexId(object.oid) << ")";
        if (!object.reason.empty()) std::cout << ": " << object.reason;
        std::cout << "\n";
    }
    for (auto direction : {SyncDirection::ToDevice, SyncDirection::ToDesktop}) {
        std::cout << "  " << activesync::ToText(direction) << ": "
                  << report.Count(direction, SyncAction::Created) << " created, "
                  << report.Count(direction, SyncAction::Changed) << " changed, "
                  << report.Count(direction, SyncAction::Deleted) << " deleted, "
                  << report.Count(direction, SyncAction::Skipped) << " skipped\n";
    }
    if (size_t conflicts = report.Count(SyncDirection::ToDevice, SyncAction::Conflict))
        std::cout << "  " << conflicts << " left in conflict\n";
}

std::string JsonReport(const TypeReport& report) {
    std::ostringstream out;
    out << "{\"type\":" << Json(report.type) << ",\"dryRun\":" << (report.dryRun ? "true" : "false")
        << ",\"restarts\":" << report.restarts << ",\"objects\":[";
    bool first = true;
    for (const auto& object : report.objects) {
        out << (first ? "" : ",") << "{\"direction\":" << Json(activesync::ToText(object.direction))
            << ",\"action\":" << Json(activesync::ToText(object.action))
            << ",\"label\":" << Json(Label(object)) << ",\"oid\":" << object.oid
            << ",\"item\":" << Json(HexBytes(object.item))
            << ",\"reason\":" << Json(object.reason) << "}";
        first = false;
    }
    out << "]}";
    return out.str();
}

struct SyncArgs {
    std::string type;
    bool dryRun = false;
    bool watch = false;
    double watchFor = 0;
    bool json = false;
    std::string conflicts = "leave";
};

activesync::ConflictRule ParseRule(const std::string& rule) {
    if (rule == "leave") return activesync::ConflictRule::Leave;
    if (rule == "desktop") return activesync::ConflictRule::DesktopWins;
    if (rule == "device") return activesync::ConflictRule::DeviceWins;
    throw CliError("--conflicts is leave, desktop or device, not '" + rule + "'");
}

void RunSync(CliContext& context, const SyncArgs& args) {
    activesync::SyncOptions options;
    options.dryRun = args.dryRun;
    options.conflicts = ParseRule(args.conflicts);
    if (!args.json) options.progress = [](const std::string& line) { std::cout << line << "\n"; };
    auto world = context.OpenWorld();
    // The device runs its services around the session: changes the device provider makes are
    // journaled once its session (and with it the mail lock) ends, before the device shuts down.
    RunningDevice running(world->Device());
    activesync::DeviceLink link(*world);
    if (!link.IsConnected())
        throw CliError("the device is not connected (connect it with 'velumex device connect')");
    activesync::DeviceSession device(link);
    activesync::DesktopHost host(world->Desktop());
    activesync::SyncSession session(host, link);
    std::vector<std::string> types;
    if (!args.type.empty())
        types.push_back(args.type);
    else
        types = session.EnabledTypes();
    if (types.empty()) throw CliError("this partnership synchronizes no object type");

    std::vector<std::string> json;
    std::map<std::string, std::string> failures;  // types that could not be synchronized: why
    // A type that cannot be synchronized is reported and the others go on; a lost link ends all.
    auto syncOnce = [&](const std::string& type) {
        try {
            TypeReport report = session.Synchronize(type, options);
            if (args.json)
                json.push_back(JsonReport(report));
            else
                PrintReport(report);
        } catch (const activesync::LinkLost&) {
            throw;
        } catch (const activesync::SyncError& error) {
            failures[type] = error.what();
            if (args.json)
                json.push_back("{\"type\":" + Json(type) + ",\"error\":" + Json(error.what()) +
                               "}");
            else
                std::cout << type << ": not synchronized: " << error.what() << "\n";
        }
    };
    auto finish = [&](const std::string& lost) {
        if (args.json) {
            std::cout << "{\"partnership\":" << session.Partnership() << ",\"types\":[";
            for (size_t i = 0; i < json.size(); ++i) std::cout << (i ? "," : "") << json[i];
            std::cout << "]";
            if (!lost.empty()) std::cout << ",\"error\":" << Json(lost);
            std::cout << "}\n";
        }
        if (!lost.empty()) throw CliError("synchronization stopped: " + lost);
        if (!failures.empty())
            throw CliError(failures.size() == 1
                               ? "not synchronized: " + failures.begin()->first + ": " +
                                     failures.begin()->second
                               : std::to_string(failures.size()) +
                                     " object types were not synchronized");
    };
    try {
        for (const auto& type : types) syncOnce(type);
        if (args.watch) {
            // Real time: synchronize a type again whenever either side reports a change, while
            // the device stays connected.
            g_interrupted = false;
            auto previous = std::signal(SIGINT, [](int) { g_interrupted = true; });
            auto until = std::chrono::steady_clock::now() +
                         std::chrono::milliseconds(static_cast<long long>(args.watchFor * 1000));
            UINT interval = 1000;
            for (const auto& type : types)
                if (UINT poll = session.PollInterval(type)) interval = std::min(interval, poll);
            if (!args.json) std::cout << "watching for changes\n";
            while (link.IsConnected() && !g_interrupted &&
                   (args.watchFor <= 0 || std::chrono::steady_clock::now() < until)) {
                for (const auto& type : types)
                    if (session.HasChanges(type)) syncOnce(type);
                std::this_thread::sleep_for(std::chrono::milliseconds(interval));
            }
            std::signal(SIGINT, previous);
            if (!link.IsConnected() && !args.json) std::cout << "the device was disconnected\n";
        }
    } catch (const activesync::LinkLost& error) {
        finish(error.what());
        return;
    }
    finish({});
}

std::string Time(std::int64_t seconds) {
    if (!seconds) return "never";
    std::time_t time = static_cast<std::time_t>(seconds);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", std::gmtime(&time));
    return text;
}

void PrintState(CliContext& context) {
    auto world = context.OpenWorld();
    activesync::ReplicationState state(world->Desktop());
    auto partnerships = activesync::ListPartnerships(world->Desktop(), world->Device());
    bool any = false;
    for (const auto& partnership : partnerships) {
        for (const auto& type : state.Types(partnership.id)) {
            any = true;
            auto folder = state.Folder(partnership.id, type);
            auto entries = state.Entries(partnership.id, type);
            std::cout << "partnership " << HexId(partnership.id) << " " << type << ": "
                      << entries.size() << " replicated objects\n";
            if (folder)
                std::cout << "  store id " << HexBytes(folder->storeId) << "\n  folder "
                          << HexBytes(folder->folder) << "\n";
            else
                std::cout << "  no synchronization completed yet\n";
            for (const auto& entry : entries) {
                ObjectReport object;
                object.item = entry.item;
                object.oid = entry.oid;
                std::cout << "  " << Label(object) << "  device " << HexId(entry.oid)
                          << "  to device " << Time(entry.sentToDevice) << "  to desktop "
                          << Time(entry.sentToDesktop);
                if (entry.desktopChanged) std::cout << "  changed on the desktop";
                if (entry.pendingToken) std::cout << "  write not confirmed";
                std::cout << "\n";
            }
        }
    }
    if (!any) std::cout << "nothing synchronized yet\n";
}

}  // namespace

void AddSyncCommands(CLI::App& app, CliContext& context) {
    auto args = std::make_shared<SyncArgs>();
    auto* sync = app.add_subcommand(
        "sync", "synchronize the connected partnership's objects between desktop and device");
    sync->add_option("--type", args->type, "only this object type (Message or Address)");
    sync->add_flag("--dry-run", args->dryRun, "report what would be done, change nothing");
    sync->add_flag("--watch", args->watch,
                   "keep synchronizing as changes arrive while the device stays connected");
    sync->add_option("--for", args->watchFor, "with --watch: stop after this many seconds");
    sync->add_flag("--json", args->json, "print the report as JSON");
    sync->add_option("--conflicts", args->conflicts,
                     "objects changed on both sides: leave (default), desktop or device wins");
    auto* state = sync->add_subcommand("state", "show the replication state kept per partnership");
    state->callback([&context] { PrintState(context); });
    sync->callback([&context, args, sync, state] {
        if (sync->got_subcommand(state)) return;
        RunSync(context, *args);
    });
}

}  // namespace velumex
