#include <service.h>

#include <algorithm>

#include "emu/services/service_host.h"
#include "host_state.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "registrations.h"

namespace emu::services {

std::vector<ServiceInfo> RegisteredServices(pal::Machine& device) {
    pal::ScopedContext context(device);
    auto services = ReadRegistrations();
    HostState& host = device.Get<HostState>();
    if (host.IsRunning()) {
        host.Run([&] {
            for (auto& service : services)
                for (const auto& running : host.Running())
                    if (running.info.key == service.key) service.running = true;
            return DWORD{0};
        });
    } else {
        auto saved = host.SavedRunning();
        for (auto& service : services)
            service.running = std::find(saved.begin(), saved.end(), service.key) != saved.end();
    }
    return services;
}

namespace {

// Starts the listed services in boot order on the host thread.
std::vector<StartResult> StartAll(HostState& host, const std::vector<ServiceInfo>& services) {
    std::vector<StartResult> results;
    host.Run([&] {
        for (const auto& service : services) {
            HANDLE handle = nullptr;
            results.push_back({service.key, ActivateOnHost(host, service.key, 0, &handle)});
        }
        host.SaveRunning();
        return DWORD{0};
    });
    return results;
}

}  // namespace

std::vector<StartResult> Boot(pal::Machine& device) {
    ShutDown(device);
    pal::ScopedContext context(device);
    HostState& host = device.Get<HostState>();
    auto services = ReadRegistrations();
    // The shell comes up after the services have started; until then the event is not set.
    host.Run([&] {
        host.ShellReady() = CreateEventW(nullptr, TRUE, FALSE, kShellReadyEvent);
        return DWORD{0};
    });
    auto results = StartAll(host, services);
    host.Run([&] { return static_cast<DWORD>(SetEvent(host.ShellReady())); });
    return results;
}

DWORD Start(pal::Machine& device, const std::u16string& key) {
    pal::ScopedContext context(device);
    return ActivateService(key.c_str(), 0) ? ERROR_SUCCESS : GetLastError();
}

DWORD Stop(pal::Machine& device, const std::u16string& key) {
    pal::ScopedContext context(device);
    HostState& host = device.Get<HostState>();
    return host.Run([&]() -> DWORD {
        auto& running = host.Running();
        for (size_t i = 0; i < running.size(); ++i) {
            if (running[i].info.key != key) continue;
            DeactivateOnHost(host, i);
            host.SaveRunning();
            return ERROR_SUCCESS;
        }
        return ERROR_SERVICE_NOT_ACTIVE;
    });
}

std::vector<StartResult> Resume(pal::Machine& device) {
    pal::ScopedContext context(device);
    HostState& host = device.Get<HostState>();
    auto saved = host.SavedRunning();
    std::vector<ServiceInfo> services;
    for (auto& service : ReadRegistrations())
        if (std::find(saved.begin(), saved.end(), service.key) != saved.end())
            services.push_back(std::move(service));
    if (services.empty()) return {};
    return StartAll(host, services);
}

void ShutDown(pal::Machine& device) {
    if (auto* host = device.Find<HostState>()) {
        pal::ScopedContext context(device);
        host->ShutDown();
    }
}

}  // namespace emu::services
