// Shared pieces of the velumex command line: the global options, opening the world, errors.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <stdexcept>
#include <string>

#include "pal/runtime/world.h"

namespace velumex {

// A user-facing failure: printed as one line, exit status 1.
class CliError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CliContext {
    std::string worldDir;
    // Opens the world named by --world; fails with a CliError that says what is wrong.
    std::unique_ptr<pal::World> OpenWorld() const;
    // The machine named on the command line ("desktop", "device", or another desktop).
    pal::Machine& MachineNamed(pal::World& world, const std::string& name) const;
};

// The command group `name` (e.g. "desktop", "device"), created by whichever command file asks
// first; every group requires one of its subcommands.
CLI::App* GroupCommand(CLI::App& app, const std::string& name, const std::string& description);

void AddWorldCommands(CLI::App& app, CliContext& context);
void AddRegCommands(CLI::App& app, CliContext& context);
void AddPacketCommands(CLI::App& app);
void AddPartnerCommands(CLI::App& app, CliContext& context);
void AddMailCommands(CLI::App& app, CliContext& context);
// Needs the "desktop mail" group: registered after AddMailCommands.
void AddMailPacketCommand(CLI::App& app, CliContext& context);
// Needs the "desktop mail" group: registered after AddMailCommands.
void AddMaildirCommands(CLI::App& app, CliContext& context);
void AddDesktopCommands(CLI::App& app, CliContext& context);
void AddDeviceCommands(CLI::App& app, CliContext& context);
// Needs the "device" group: registered after AddDeviceCommands.
void AddDeviceServiceCommands(CLI::App& app, CliContext& context);
// Brings the device's services up as they were left until they have started, so that the
// journals catch up with what changed while no command ran, and shuts them down again.
void CatchUpDevice(pal::Machine& device);
// The device up as it runs for the length of a command that reads or changes its data: the
// services that ran when the world was last closed are resumed (and have started) at
// construction, so that they journal the command's changes as they happen; at destruction the
// message stores' notifications made so far reach the services, then the host shuts down.
// Destroy it after any provider session: a provider holds the mail lock the service journals
// under for as long as its session lasts.
class RunningDevice {
public:
    explicit RunningDevice(pal::Machine& device);
    ~RunningDevice();
    RunningDevice(const RunningDevice&) = delete;
    RunningDevice& operator=(const RunningDevice&) = delete;
    // Waits until the notifications made so far have been journaled; false after ten seconds.
    bool Settle();

private:
    pal::Machine& m_device;
};
void AddDeviceMailCommands(CLI::App& app, CliContext& context);
// Needs the "device" group: registered after AddDeviceCommands.
void AddDeviceContactsCommands(CLI::App& app, CliContext& context);
// install-transport, and the "device mail" commands apply and request (after AddDeviceMailCommands).
void AddDeviceMailApplyCommands(CLI::App& app, CliContext& context);
void AddOptionsCommands(CLI::App& app, CliContext& context);
// Needs the "options" group: registered after AddOptionsCommands.
void AddContactsOptionsCommand(CLI::App& app, CliContext& context);
void AddFilterCommands(CLI::App& app, CliContext& context);
// Needs the "desktop" group: registered after AddDesktopCommands.
void AddContactsCommands(CLI::App& app, CliContext& context);
void AddSyncCommands(CLI::App& app, CliContext& context);
void AddInstallerCommands(CLI::App& app, CliContext& context);
// Needs the "device" group: registered after AddDeviceCommands.
void AddDevicePackageCommands(CLI::App& app, CliContext& context);

}  // namespace velumex
