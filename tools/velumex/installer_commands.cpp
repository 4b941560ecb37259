// velumex installer call PLUGIN FUNCTION ARGS…: the desktop installer calling one of its
// plug-ins, with the device link up as the world left it.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "activesync/device_link.h"
#include "cli.h"
#include "emu/installer/plugin_host.h"

namespace velumex {

namespace {

std::filesystem::path PluginModuleDir() {
    const char* configured = std::getenv("VELUMEX_MODULES");
    return configured && *configured ? configured : VELUMEX_MODULE_DIR;
}

}  // namespace

void AddInstallerCommands(CLI::App& app, CliContext& context) {
    auto* installer = GroupCommand(app, "installer", "the desktop installer and its plug-ins");
    static std::string plugin;
    static std::string function;
    static std::vector<std::string> args;
    auto* call = installer->add_subcommand(
        "call", "call a plug-in's function with ARGS on the installer's stack and print $R0");
    call->add_option("plugin", plugin, "the plug-in library")
        ->required()
        ->check(CLI::IsMember({"Plinthor"}));
    call->add_option("function", function, "the export to call")->required();
    call->add_option("args", args, "arguments, the first popped first");
    call->callback([&context] {
        auto world = context.OpenWorld();
        activesync::DeviceLink link(*world);
        std::u16string path;
        try {
            path = emu::installer::InstallPlugin(world->Desktop(),
                                                 PluginModuleDir() / (plugin + ".so"),
                                                 std::u16string(plugin.begin(), plugin.end()) +
                                                     u".dll");
            auto result = emu::installer::CallPlugin(world->Desktop(), path, function, args);
            std::printf("%s\n", result.r0.c_str());
        } catch (const emu::installer::InstallerError& error) {
            throw CliError(error.what());
        }
    });
}

}  // namespace velumex
