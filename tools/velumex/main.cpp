// velumex: create and inspect worlds, and drive the emulated desktop and device.
#include <cstdio>
#include <cstdlib>

#include "cli.h"

namespace velumex {

std::unique_ptr<pal::World> CliContext::OpenWorld() const {
    if (!pal::World::Exists(worldDir))
        throw CliError("no world in " + worldDir + " (create one with 'velumex world create')");
    return pal::World::Open(worldDir);
}

pal::Machine& CliContext::MachineNamed(pal::World& world, const std::string& name) const {
    pal::Machine* machine = world.Find(name);
    if (!machine) throw CliError("no machine '" + name + "' in this world");
    return *machine;
}

CLI::App* GroupCommand(CLI::App& app, const std::string& name, const std::string& description) {
    for (auto* existing : app.get_subcommands([](CLI::App*) { return true; }))
        if (existing->get_name() == name) return existing;
    auto* group = app.add_subcommand(name, description);
    group->require_subcommand(1);
    return group;
}

}  // namespace velumex

int main(int argc, char** argv) {
    velumex::CliContext context;
    const char* fromEnvironment = std::getenv("VELUMEX_WORLD");
    context.worldDir = fromEnvironment && *fromEnvironment ? fromEnvironment : "./velumex-world";

    CLI::App app{"Velumex: keeps an emulated desktop's Inbox and address book in step with an "
                 "emulated device"};
    app.add_option("--world", context.worldDir,
                   "world folder (default: $VELUMEX_WORLD, else ./velumex-world)");
    app.require_subcommand(1);
    velumex::AddWorldCommands(app, context);
    velumex::AddRegCommands(app, context);
    velumex::AddPacketCommands(app);
    velumex::AddPartnerCommands(app, context);
    velumex::AddMailCommands(app, context);
    velumex::AddMailPacketCommand(app, context);
    velumex::AddMaildirCommands(app, context);
    velumex::AddDesktopCommands(app, context);
    velumex::AddContactsCommands(app, context);
    velumex::AddDeviceCommands(app, context);
    velumex::AddDeviceServiceCommands(app, context);
    velumex::AddDeviceMailCommands(app, context);
    velumex::AddDeviceContactsCommands(app, context);
    velumex::AddDeviceMailApplyCommands(app, context);
    velumex::AddOptionsCommands(app, context);
    velumex::AddContactsOptionsCommand(app, context);
    velumex::AddFilterCommands(app, context);
    velumex::AddSyncCommands(app, context);
    velumex::AddInstallerCommands(app, context);
    velumex::AddDevicePackageCommands(app, context);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velumex: %s\n", e.what());
        return 1;
    }
    return 0;
}
