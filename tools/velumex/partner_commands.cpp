// velumex partner create | list, velumex device connect | disconnect: the sync engine's
// partnerships and the device's connection, recorded in the world.
#include <cstdio>
#include <iostream>
#include <memory>

#include "activesync/device_link.h"
#include "activesync/partnerships.h"
#include "cli.h"
#include "pal/runtime/encoding.h"

namespace velumex {

namespace {

std::string Hex(DWORD id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", id);
    return text;
}

DWORD ParseId(const std::string& text) {
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > (hex ? 8u : 10u) ||
        digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
            std::string::npos)
        throw CliError("a partnership id is a decimal number or 0x and hex digits, not '" + text +
                       "'");
    unsigned long long value = std::stoull(digits, nullptr, hex ? 16 : 10);
    if (value > 0xFFFFFFFFull) throw CliError("partnership id " + text + " exceeds 32 bits");
    return static_cast<DWORD>(value);
}

std::string Switches(const activesync::Partnership& partnership) {
    std::string text;
    for (auto& object : partnership.objects) {
        if (!text.empty()) text += ", ";
        text += pal::Utf16ToUtf8(object.type) + "=";
        text += !object.disabled ? "?" : *object.disabled ? "off" : "on";
    }
    return text.empty() ? "(no object types)" : text;
}

}  // namespace

void AddPartnerCommands(CLI::App& app, CliContext& context) {
    auto* partner = app.add_subcommand("partner", "the sync engine's partnerships");
    partner->require_subcommand(1);

    auto* create = partner->add_subcommand("create", "make a partnership with the device");
    auto deviceType = std::make_shared<std::string>("PocketPC");
    create->add_option("--device-type", *deviceType, "PocketPC or PocketPC04")
        ->check(CLI::IsMember({"PocketPC", "PocketPC04"}))
        ->capture_default_str();
    create->callback([&context, deviceType] {
        auto world = context.OpenWorld();
        try {
            auto made = activesync::CreatePartnership(world->Desktop(), world->Device(),
                                                      pal::Utf8ToUtf16(*deviceType));
            std::cout << "partnership " << Hex(made.id) << " (" << *deviceType << "), partner bit "
                      << made.partnerBit << "\n";
        } catch (const activesync::PartnershipError& e) {
            throw CliError(e.what());
        }
    });

    auto* list = partner->add_subcommand("list", "list the partnerships");
    list->callback([&context] {
        auto world = context.OpenWorld();
        activesync::DeviceLink link(*world);
        DWORD selected = activesync::SelectedPartnership(world->Desktop());
        auto partnerships = activesync::ListPartnerships(world->Desktop(), world->Device());
        if (partnerships.empty()) std::cout << "no partnerships\n";
        for (auto& partnership : partnerships) {
            std::cout << Hex(partnership.id) << "  " << pal::Utf16ToUtf8(partnership.deviceType)
                      << "  partner bit " << partnership.partnerBit;
            if (partnership.id == link.ConnectedId()) std::cout << "  connected";
            if (partnership.id == selected) std::cout << "  selected";
            std::cout << "\n    " << Switches(partnership) << "\n";
        }
    });

    auto* device = GroupCommand(app, "device", "the emulated device");
    auto* connect = device->add_subcommand(
        "connect", "connect the device through a partnership (default: the selected one)");
    auto id = std::make_shared<std::string>();
    connect->add_option("--partner", *id, "partnership id");
    connect->callback([&context, id] {
        auto world = context.OpenWorld();
        activesync::DeviceLink link(*world);
        DWORD chosen =
            id->empty() ? activesync::SelectedPartnership(world->Desktop()) : ParseId(*id);
        if (!chosen)
            throw CliError("no partnership selected; make one with 'velumex partner create'");
        try {
            link.Connect(chosen);
        } catch (const activesync::PartnershipError& e) {
            throw CliError(e.what());
        }
        std::cout << "device connected through partnership " << Hex(chosen) << "\n";
    });
    auto* disconnect = device->add_subcommand("disconnect", "disconnect the device");
    disconnect->callback([&context] {
        auto world = context.OpenWorld();
        activesync::DeviceLink link(*world);
        if (!link.IsConnected()) throw CliError("the device is not connected");
        link.Disconnect();
        std::cout << "device disconnected\n";
    });
}

}  // namespace velumex
