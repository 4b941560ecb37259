// velumex filter list | set | conversion | install-sample: the sync engine's file-conversion
// filters of a partnership.
#include <iostream>
#include <memory>
#include <stdexcept>

#include "activesync/filters.h"
#include "activesync/partnerships.h"
#include "cli.h"
#include "pal/runtime/encoding.h"

namespace velumex {

namespace {

// The partnership named by --partner, or else the selected one (the one last connected).
DWORD ParsePartnership(pal::World& world, const std::string& text) {
    if (text.empty()) {
        DWORD selected = activesync::SelectedPartnership(world.Desktop());
        if (!selected) throw CliError("no partnership is selected: name one with --partner");
        return selected;
    }
    try {
        size_t used = 0;
        unsigned long long value = std::stoull(text, &used, 0);
        if (used == text.size() && value <= 0xFFFFFFFFull) return static_cast<DWORD>(value);
    } catch (const std::exception&) {
    }
    throw CliError("a partnership id is a decimal number or 0x and hex digits, not '" + text + "'");
}

std::string Shown(const std::u16string& value) {
    return value.empty() ? "-" : pal::Utf16ToUtf8(value);
}

}  // namespace

void AddFilterCommands(CLI::App& app, CliContext& context) {
    auto* filter = app.add_subcommand("filter", "a partnership's file-conversion filters");
    filter->require_subcommand(1);
    auto partner = std::make_shared<std::string>();

    auto* list = filter->add_subcommand("list", "show the conversion switch and the filters");
    list->add_option("--partner", *partner, "partnership id (default: the selected one)");
    list->callback([&context, partner] {
        auto world = context.OpenWorld();
        try {
            auto filters =
                activesync::ListFilters(world->Desktop(), ParsePartnership(*world, *partner));
            std::cout << "EnableConversion "
                      << (filters.enableConversion ? std::to_string(*filters.enableConversion)
                                                   : std::string("(not set)"))
                      << "\n";
            for (auto& entry : filters.extensions)
                std::cout << pal::Utf16ToUtf8(entry.extension) << "  import " << Shown(entry.import)
                          << "  export " << Shown(entry.exportFilter) << "\n";
        } catch (const activesync::PartnershipError& e) {
            throw CliError(e.what());
        }
    });

    auto* set = filter->add_subcommand("set", "set the filter of an extension and direction");
    auto extension = std::make_shared<std::string>();
    auto direction = std::make_shared<std::string>();
    auto value = std::make_shared<std::string>();
    set->add_option("--partner", *partner, "partnership id (default: the selected one)");
    set->add_option("extension", *extension, "the extension with its dot, e.g. .txt")->required();
    set->add_option("direction", *direction, "import (to the device) or export")
        ->required()
        ->check(CLI::IsMember({"import", "export"}));
    set->add_option("filter", *value, "a class {…}, \"Binary Copy\", or \"\" to remove")
        ->required();
    set->callback([&context, partner, extension, direction, value] {
        auto world = context.OpenWorld();
        try {
            activesync::SetExtensionFilter(
                world->Desktop(), ParsePartnership(*world, *partner), pal::Utf8ToUtf16(*extension),
                *direction == "import" ? activesync::FilterDirection::Import
                                       : activesync::FilterDirection::Export,
                pal::Utf8ToUtf16(*value));
        } catch (const activesync::PartnershipError& e) {
            throw CliError(e.what());
        } catch (const std::invalid_argument& e) {
            throw CliError(e.what());
        }
    });

    auto* conversion = filter->add_subcommand("conversion", "turn every conversion on or off");
    auto state = std::make_shared<std::string>();
    conversion->add_option("--partner", *partner, "partnership id (default: the selected one)");
    conversion->add_option("state", *state, "on or off")
        ->required()
        ->check(CLI::IsMember({"on", "off"}));
    conversion->callback([&context, partner, state] {
        auto world = context.OpenWorld();
        try {
            activesync::SetConversionEnabled(world->Desktop(), ParsePartnership(*world, *partner),
                                             *state == "on");
        } catch (const activesync::PartnershipError& e) {
            throw CliError(e.what());
        }
    });

    auto* sample = filter->add_subcommand("install-sample", "install the sample text filter");
    sample->callback([&context] {
        auto world = context.OpenWorld();
        activesync::InstallTextFilter(world->Desktop());
        std::cout << "text to device text " << pal::Utf16ToUtf8(activesync::kTextToDeviceClass)
                  << " (.vtx)\ndevice text to text "
                  << pal::Utf16ToUtf8(activesync::kDeviceToTextClass) << " (.txt)\n";
    });
}

}  // namespace velumex
