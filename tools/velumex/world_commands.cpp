// velumex world create | show
#include <cstdio>
#include <iostream>

#include "activesync/partnerships.h"
#include "cli.h"
#include "pal/runtime/encoding.h"

namespace velumex {

namespace {

std::string Describe(const pal::Machine& machine) {
    auto config = machine.Config();
    char line[256];
    const char* clock = config.clockMode == pal::ClockMode::Frozen   ? "frozen"
                        : config.clockMode == pal::ClockMode::Offset ? "offset"
                                                                     : "real";
    std::snprintf(line, sizeof line,
                  "%-9s %-7s OS %u.%u build %u, code page %u, locale 0x%04X, clock %s",
                  machine.Name().c_str(), machine.IsDesktop() ? "desktop" : "device",
                  config.os.major, config.os.minor, config.os.build, config.codePage,
                  config.locale, clock);
    return line;
}

void ParseDeviceOs(const std::string& text, pal::WorldOptions& options) {
    if (text == "4.21") options.deviceOsMajor = 4, options.deviceOsMinor = 21;
    else if (text == "5.1") options.deviceOsMajor = 5, options.deviceOsMinor = 1;
    else if (text == "6.0") options.deviceOsMajor = 6, options.deviceOsMinor = 0;
    else throw CliError("unknown device OS '" + text + "' (use 4.21, 5.1 or 6.0)");
}

}  // namespace

void AddWorldCommands(CLI::App& app, CliContext& context) {
    auto* world = app.add_subcommand("world", "create or show a world");
    world->require_subcommand(1);

    auto* create = world->add_subcommand("create", "create a world with a desktop and a device");
    auto deviceOs = std::make_shared<std::string>("4.21");
    create->add_option("--device-os", *deviceOs, "device OS version: 4.21, 5.1 or 6.0")
        ->capture_default_str();
    create->callback([&context, deviceOs] {
        pal::WorldOptions options;
        ParseDeviceOs(*deviceOs, options);
        if (pal::World::Exists(context.worldDir))
            throw CliError("a world already exists in " + context.worldDir);
        auto created = pal::World::Create(context.worldDir, options);
        // A desktop comes with its sync engine, as a provider's registration expects to find it;
        // without the engine's own Inbox and Contacts types, so that Velumex serves both.
        activesync::InstallEngine(created->Desktop(), {.mailType = false, .contactsType = false});
        std::cout << "created world " << created->Dir().string() << "\n";
        for (auto* machine : created->Machines()) std::cout << "  " << Describe(*machine) << "\n";
    });

    auto* show = world->add_subcommand("show", "show the world's machines");
    show->callback([&context] {
        auto opened = context.OpenWorld();
        std::cout << "world " << opened->Dir().string() << "\n";
        for (auto* machine : opened->Machines()) std::cout << "  " << Describe(*machine) << "\n";
    });
}

}  // namespace velumex
