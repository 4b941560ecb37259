// velumex device install-service | boot | service start|stop|status: the device's service host
// and the notification service it runs.
//
// The device runs only while a command works on it: a command that starts services shuts the
// host down again before the world closes, and the host remembers what ran, so that the next
// command that brings the device up (Resume) finds it as it was left.
#include <service.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli.h"
#include "emu/cemapi/message_stores.h"
#include "emu/poom/contacts.h"
#include "emu/services/service_host.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/window_manager.h"

namespace velumex {

namespace {

std::filesystem::path ModuleDir() {
    const char* configured = std::getenv("VELUMEX_MODULES");
    return configured && *configured ? configured : VELUMEX_MODULE_DIR;
}

std::string Narrow(const std::u16string& text) {
    std::string result;
    for (char16_t c : text) result += c < 0x80 ? static_cast<char>(c) : '?';
    return result;
}

std::u16string Widen(const std::string& text) { return {text.begin(), text.end()}; }

// The device's products the services talk to, set up for this run.
void PrepareDevice(pal::Machine& device) { emu::poom::Install(device); }

void PrintStarts(const std::vector<emu::services::StartResult>& results) {
    for (const auto& result : results) {
        if (result.error == 0)
            std::printf("started %s\n", Narrow(result.key).c_str());
        else
            std::printf("%s did not start: error %lu\n", Narrow(result.key).c_str(),
                        static_cast<unsigned long>(result.error));
    }
}

// Waits (at most ten seconds) until a running notification service has come through its start-up:
// its hidden window "_notif_KT" exists and its thread has reached its message loop. Stopping it
// earlier would skip the start-up's reconciliation.
void WaitForNotificationService(pal::Machine& device) {
    bool running = false;
    for (const auto& service : emu::services::RegisteredServices(device))
        if (service.key == u"KTNotif") running = service.running;
    if (!running) return;
    pal::WaitForIdleWindow(device, u"_notif_KT", 10000);
}

// Runs `body` with the device up and shuts the host down before the world closes.
template <class Body>
void WithDevice(CliContext& context, Body body) {
    auto world = context.OpenWorld();
    pal::Machine& device = world->Device();
    PrepareDevice(device);
    try {
        body(device);
        WaitForNotificationService(device);
    } catch (...) {
        emu::services::ShutDown(device);
        throw;
    }
    emu::services::ShutDown(device);
}

}  // namespace

RunningDevice::RunningDevice(pal::Machine& device) : m_device(device) {
    PrepareDevice(device);
    try {
        emu::services::Resume(device);
        WaitForNotificationService(device);
    } catch (...) {
        emu::services::ShutDown(device);
        throw;
    }
}

RunningDevice::~RunningDevice() {
    if (!Settle())
        std::fprintf(stderr, "warning: the device's services did not journal every change\n");
    emu::services::ShutDown(m_device);
}

bool RunningDevice::Settle() {
    return emu::cemapi::WaitForNotifications(m_device, std::chrono::seconds(10));
}

void CatchUpDevice(pal::Machine& device) {
    PrepareDevice(device);
    emu::services::Resume(device);
    WaitForNotificationService(device);
    emu::services::ShutDown(device);
}

void AddDeviceServiceCommands(CLI::App& app, CliContext& context) {
    auto* device = GroupCommand(app, "device", "the emulated device");

    device
        ->add_subcommand("install-service",
                         "copy KTnotif.dll into the device's \\Windows and register the service")
        ->callback([&context] {
            auto world = context.OpenWorld();
            HRESULT result = emu::services::InstallService(
                world->Device(), ModuleDir() / "KTnotif.so", u"\\Windows\\KTnotif.dll");
            if (FAILED(result))
                throw CliError("the service did not register: error " +
                               std::to_string(static_cast<unsigned long>(result)));
            std::printf("installed \\Windows\\KTnotif.dll as service KTNotif (KTN0:)\n");
        });

    device
        ->add_subcommand("boot",
                         "start the device's service host: every registered service starts in "
                         "its order, then the shell becomes ready")
        ->callback([&context] {
            WithDevice(context, [](pal::Machine& machine) {
                auto results = emu::services::Boot(machine);
                if (results.empty()) std::printf("no services are registered\n");
                PrintStarts(results);
            });
        });

    auto* service = device->add_subcommand("service", "start, stop or list the device's services");
    service->require_subcommand(1);
    static std::string startName = "KTNotif";
    auto* start = service->add_subcommand("start", "start a registered service (ActivateService)");
    start->add_option("name", startName, "the service's key under Services (default KTNotif)");
    start->callback([&context] {
        WithDevice(context, [](pal::Machine& machine) {
            PrintStarts(emu::services::Resume(machine));
            DWORD error = emu::services::Start(machine, Widen(startName));
            if (error == ERROR_SERVICE_ALREADY_RUNNING) {
                std::printf("%s runs already\n", startName.c_str());
                return;
            }
            if (error != 0)
                throw CliError(startName + " did not start: error " + std::to_string(error));
            std::printf("started %s\n", startName.c_str());
        });
    });

    static std::string stopName = "KTNotif";
    auto* stop = service->add_subcommand("stop", "stop a running service (DeregisterService)");
    stop->add_option("name", stopName, "the service's key under Services (default KTNotif)");
    stop->callback([&context] {
        WithDevice(context, [](pal::Machine& machine) {
            PrintStarts(emu::services::Resume(machine));
            DWORD error = emu::services::Stop(machine, Widen(stopName));
            if (error == ERROR_SERVICE_NOT_ACTIVE) throw CliError(stopName + " does not run");
            std::printf("stopped %s\n", stopName.c_str());
        });
    });

    service->add_subcommand("status", "list the registered services and whether they run")
        ->callback([&context] {
            auto world = context.OpenWorld();
            auto services = emu::services::RegisteredServices(world->Device());
            if (services.empty()) std::printf("no services are registered\n");
            for (const auto& info : services)
                std::printf("%-12s %-8s %-6s Order=%lu Dll=%s\n", Narrow(info.key).c_str(),
                            info.running ? "running" : "stopped", Narrow(info.DeviceName()).c_str(),
                            static_cast<unsigned long>(info.order), Narrow(info.dll).c_str());
        });
}

}  // namespace velumex
