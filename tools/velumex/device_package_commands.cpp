// velumex device package install|remove, velumex device accounts: the device side installed and
// removed as a user's installation package does it, and the device's mail accounts.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "activesync/device_host.h"
#include "cli.h"
#include "emu/cemapi/message_stores.h"
#include "emu/configmgr/accounts.h"
#include "emu/inbox/inbox.h"
#include "emu/poom/contacts.h"
#include "emu/services/service_host.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "velumex_package.h"

namespace velumex {

namespace {

std::filesystem::path PackageModuleDir() {
    const char* configured = std::getenv("VELUMEX_MODULES");
    return configured && *configured ? configured : VELUMEX_MODULE_DIR;
}

// The products a device has from the start that the installation meets: contacts, the Inbox and
// the synchronization engine's provider key.
void PrepareDeviceProducts(pal::Machine& device) {
    emu::poom::Install(device);
    inbox::InstallInbox(device);
    pal::ScopedContext context(device);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, activesync::kDeviceObjectsKey, 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

// Waits (at most a minute) until no process runs the launcher at `path`.
void WaitForProgram(pal::Machine& device, const std::u16string& path) {
    pal::ScopedContext context(device);
    for (int attempt = 0; attempt < 6000; ++attempt) {
        bool running = false;
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32FirstW(snapshot, &entry); more;
             more = Process32NextW(snapshot, &entry))
            running = running || path == entry.szExeFile;
        CloseToolhelp32Snapshot(snapshot);
        if (!running) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    throw CliError("the launcher did not finish within a minute");
}

bool ServiceRuns(pal::Machine& device) {
    for (const auto& service : emu::services::RegisteredServices(device))
        if (service.key == u"KTNotif") return service.running;
    return false;
}

// Runs `body` with the device's services up as they were left, and shuts them down again.
template <class Body>
void WithServices(pal::Machine& device, Body body) {
    PrepareDeviceProducts(device);
    emu::services::Resume(device);
    try {
        body();
    } catch (...) {
        emu::services::ShutDown(device);
        throw;
    }
    emu::services::ShutDown(device);
}

}  // namespace

void AddDevicePackageCommands(CLI::App& app, CliContext& context) {
    auto* device = GroupCommand(app, "device", "the emulated device");
    auto* package = device->add_subcommand("package", "the device-side installation package");
    package->require_subcommand(1);

    package
        ->add_subcommand("install",
                         "install Kestrin, KTnotif, KTtrans, KTstart and KTsetup as the package "
                         "installer does: the account is provisioned and the service runs")
        ->callback([&context] {
            auto world = context.OpenWorld();
            pal::Machine& machine = world->Device();
            WithServices(machine, [&] {
                auto contents = velumex_setup::VelumexPackage(PackageModuleDir());
                try {
                    emu::packages::Install(machine, contents, {std::chrono::milliseconds(500)});
                } catch (const emu::packages::PackageError& error) {
                    throw CliError(error.what());
                }
                WaitForProgram(machine, velumex_setup::kLauncherPath);
                std::printf("installed %s\n", pal::U8(contents.name).c_str());
                for (const auto& account : emu::configmgr::ListAccounts(machine))
                    std::printf("account %s \"%s\" (%s)\n", pal::U8(account.id).c_str(),
                                pal::U8(account.Parm(u"SERVICENAME")).c_str(),
                                pal::U8(account.Parm(u"SERVICETYPE")).c_str());
                std::printf("service KTNotif %s\n", ServiceRuns(machine) ? "running" : "not running");
            });
        });

    package->add_subcommand("remove", "remove the package: the service stops, the account and the journals go")
        ->callback([&context] {
            auto world = context.OpenWorld();
            pal::Machine& machine = world->Device();
            WithServices(machine, [&] {
                auto contents = velumex_setup::VelumexPackage(PackageModuleDir());
                try {
                    emu::packages::Remove(machine, contents);
                } catch (const emu::packages::PackageError& error) {
                    throw CliError(error.what());
                }
                std::printf("removed %s\n", pal::U8(contents.name).c_str());
            });
        });

    device->add_subcommand("accounts", "list the device's mail accounts and their message stores")
        ->callback([&context] {
            auto world = context.OpenWorld();
            pal::Machine& machine = world->Device();
            auto accounts = emu::configmgr::ListAccounts(machine);
            if (accounts.empty()) std::printf("no accounts\n");
            for (const auto& account : accounts) {
                std::u16string name = account.Parm(u"SERVICENAME");
                auto store = emu::cemapi::FindStore(machine, name);
                std::printf("%s \"%s\" type %s store %s\n", pal::U8(account.id).c_str(),
                            pal::U8(name).c_str(), pal::U8(account.Parm(u"SERVICETYPE")).c_str(),
                            store ? std::to_string(store->number).c_str() : "-");
            }
        });
}

}  // namespace velumex
