// velumex options mail: the mail folder's options dialog, opened through the desktop store as the
// engine opens it, run from the terminal or by a script given on the command line.
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>

#include "activesync/desktop_host.h"
#include "activesync/device_link.h"
#include "activesync/device_session.h"
#include "cli.h"
#include "mail_folder_calls.h"
#include "mail_options_plan.h"
#include "pal/runtime/dialog_driver.h"
#include "pal/runtime/encoding.h"
#include "terminal_dialog.h"

namespace velumex {

namespace {

constexpr HRESULT kDialogCancelled = static_cast<HRESULT>(0x80140003);

struct MailOptionsArguments {
    std::vector<std::string> sets, checks, unchecks, types;
    CLI::Option *set = nullptr, *check = nullptr, *uncheck = nullptr, *type = nullptr;
};

// The direct actions in the order they were given on the command line.
std::vector<DialogAction> DirectActions(const CLI::App& command,
                                        const MailOptionsArguments& arguments) {
    std::vector<DialogAction> actions;
    size_t checks = 0, unchecks = 0, types = 0;
    for (const CLI::Option* option : command.parse_order()) {
        std::string text;
        if (option == arguments.check) {
            text = "check " + arguments.checks.at(checks++);
        } else if (option == arguments.uncheck) {
            text = "uncheck " + arguments.unchecks.at(unchecks++);
        } else if (option == arguments.type) {
            const std::string& given = arguments.types.at(types++);
            size_t equals = given.find('=');
            if (equals == std::string::npos)
                throw CliError("--type takes ID=TEXT, not '" + given + "'");
            text = "type " + given.substr(0, equals) + " " + given.substr(equals + 1);
        } else {
            continue;
        }
        actions.push_back(*ParseAction(text));
    }
    return actions;
}

void RunMailOptions(CliContext& context, const CLI::App& command,
                    const MailOptionsArguments& arguments) {
    MailOptionsRequest request;
    for (const std::string& set : arguments.sets) ParseMailOptions(set, request);
    std::vector<DialogAction> actions = DirectActions(command, arguments);
    bool scripted = !arguments.sets.empty() || !actions.empty();

    auto world = context.OpenWorld();
    activesync::DeviceLink link(*world);
    // Offline the selected partnership's options are edited, as a user editing them expects.
    EnginePartnership partnership = PartnershipToWorkFor(*world, link, true);
    StoredMailOptions before = ReadMailOptions(*world, partnership.id);

    ScriptOutcome outcome;
    DialogPlanner planner;
    if (!request.Empty())
        planner = [request](const std::vector<pal::DialogControl>& controls) {
            return PlanMailOptions(controls, request);
        };
    auto& drivers = world->Desktop().Get<pal::DialogDrivers>();
    drivers.SetDriver(scripted ? ScriptedDialogDriver(planner, actions, std::cout, outcome)
                               : TerminalDialogDriver(std::cin, std::cout));
    MailDialogRun dialog;
    {
        // While connected, the device half serves the store's data requests.
        std::optional<activesync::DeviceSession> session;
        if (link.IsConnected()) session.emplace(link);
        activesync::DesktopHost host(world->Desktop());
        dialog = ShowMailOptions(host, partnership.flags);
    }
    drivers.SetDriver({});

    if (dialog.run.stage.empty() && FAILED(dialog.run.initialize))
        for (const auto& box : dialog.boxes)
            std::cout << "message box: [" << pal::U8(box.caption) << "] " << pal::U8(box.text)
                      << "\n";
    CheckStoreRun(dialog.run);

    StoredMailOptions after = ReadMailOptions(*world, partnership.id);
    std::string result;
    if (dialog.result == S_OK)
        result = after.SameOptions(before) ? "OK, unchanged" : "OK, saved";
    else if (dialog.result == kDialogCancelled)
        result =
            outcome.refused ? "refused: OK left the dialog open, Cancel was pressed" : "cancelled";
    else
        throw CliError("ActivateDialog failed with " + Hresult(dialog.result));
    // Flushed before a failure is reported, so that the report follows what led to it.
    std::cout << "outcome: " << result << "\n"
              << FormatMailOptions(after, partnership.id) << std::flush;

    if (!scripted) return;
    if (!outcome.ran) throw CliError("the store opened no dialog");
    if (!outcome.error.empty()) throw CliError(outcome.error + "; nothing was saved");
    if (outcome.refused) throw CliError("the dialog refused the input; nothing was saved");
}

}  // namespace

void AddOptionsCommands(CLI::App& app, CliContext& context) {
    auto* options = GroupCommand(app, "options", "the desktop provider's options dialogs");
    auto* mail = options->add_subcommand(
        "mail",
        "the mail options dialog of the connected partnership: run from the terminal, or "
        "scripted by --set, --check, --uncheck and --type and then confirmed with OK");
    auto arguments = std::make_shared<MailOptionsArguments>();
    arguments->set = mail->add_option(
        "--set", arguments->sets,
        "NAME=VALUE[,…]: Options (0x… allowed), MaxLines, Days, SizeLimit; clicks the check "
        "boxes and types the numbers that reach them");
    arguments->check = mail->add_option("--check", arguments->checks, "tick check box ID");
    arguments->uncheck = mail->add_option("--uncheck", arguments->unchecks, "clear check box ID");
    arguments->type = mail->add_option("--type", arguments->types, "ID=TEXT: type into edit ID");
    // One value per occurrence, so that the occurrences keep their order.
    for (CLI::Option* option :
         {arguments->set, arguments->check, arguments->uncheck, arguments->type})
        option->allow_extra_args(false);
    mail->callback([&context, mail, arguments] { RunMailOptions(context, *mail, *arguments); });
}

}  // namespace velumex
