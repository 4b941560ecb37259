// velumex options contacts: the contacts folder's options dialog, opened through the desktop store
// as the engine opens it, run from the terminal or scripted by --all, --folder and --unfiled.
#include <iostream>
#include <memory>
#include <optional>
#include <set>

#include "activesync/desktop_host.h"
#include "activesync/device_link.h"
#include "activesync/device_session.h"
#include "activesync/partnerships.h"
#include "cli.h"
#include "mail_folder_calls.h"
#include "pal/runtime/dialog_driver.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/message_boxes.h"
#include "pal/runtime/registry_store.h"
#include "terminal_dialog.h"

namespace velumex {

namespace {

constexpr HRESULT kDialogCancelled = static_cast<HRESULT>(0x80140003);
constexpr int kAllContacts = 1000;
constexpr int kChosenFolders = 1003;
constexpr int kFolderList = 1011;
// Item data of the list line of the entries outside folders.
constexpr LPARAM kUnfiledLine = 1;

struct ContactsRequest {
    bool all = false;
    std::vector<std::string> folders;
    std::optional<bool> unfiled;
    bool Empty() const { return !all && folders.empty() && !unfiled; }
};

// The clicks and ticks that bring the dialog to the request.
std::vector<DialogAction> PlanContactsOptions(const std::vector<pal::DialogControl>& controls,
                                              const ContactsRequest& request) {
    std::vector<DialogAction> actions;
    const pal::DialogControl* list = nullptr;
    for (const pal::DialogControl& control : controls)
        if (control.id == kFolderList) list = &control;
    if (!list) throw CliError("the dialog has no folder list");
    if (request.all) {
        actions.push_back({DialogAction::Kind::Click, kAllContacts, "", 0});
        return actions;
    }
    actions.push_back({DialogAction::Kind::Click, kChosenFolders, "", 0});
    std::set<std::string> wanted(request.folders.begin(), request.folders.end());
    std::set<std::string> found;
    for (size_t line = 0; line < list->lines.size(); ++line) {
        const pal::ListViewLine& shown = list->lines[line];
        std::optional<bool> tick;
        if (shown.data == kUnfiledLine) {
            tick = request.unfiled;
        } else if (!request.folders.empty()) {
            std::string name = pal::U8(shown.text);
            tick = wanted.count(name) != 0;
            if (*tick) found.insert(name);
        }
        if (tick && *tick != shown.checked)
            actions.push_back({*tick ? DialogAction::Kind::Tick : DialogAction::Kind::Untick,
                               kFolderList, "", static_cast<int>(line)});
    }
    for (const std::string& name : wanted)
        if (!found.count(name)) throw CliError("the address book has no folder '" + name + "'");
    return actions;
}

std::string StoredContactsOptions(pal::World& world, DWORD partnership) {
    pal::RegistryStore desktop(world.Desktop());
    std::u16string key = activesync::PartnershipKeyPath(partnership) + u"\\KV.WinCE.OE.3";
    char head[96];
    std::snprintf(head, sizeof head, "contacts options of partnership 0x%08x (KV.WinCE.OE.3):\n",
                  static_cast<unsigned>(partnership));
    std::string text = head;
    std::optional<DWORD> options = desktop.GetDword(key, u"FolderOptions");
    char line[64];
    std::snprintf(line, sizeof line, "  FolderOptions %u%s\n", options ? *options : 3u,
                  options ? "" : "  (default)");
    text += line;
    text += "  Folders      ";
    std::optional<pal::RegistryValue> folders = desktop.GetValue(key, u"Folders");
    if (!folders) {
        text += " (none stored)";
    } else {
        // The registry keeps strings as UTF-16, little-endian.
        std::u16string names;
        for (size_t i = 0; i + 1 < folders->data.size(); i += 2)
            names.push_back(static_cast<char16_t>(folders->data[i] | (folders->data[i + 1] << 8)));
        size_t at = 0;
        while (at < names.size() && names[at]) {
            size_t end = names.find(u'\0', at);
            if (end == std::u16string::npos) end = names.size();
            text += " \"" + pal::U8(names.substr(at, end - at)) + "\"";
            at = end + 1;
        }
    }
    return text + "\n";
}

void RunContactsOptions(CliContext& context, const ContactsRequest& request) {
    if (request.all && (!request.folders.empty() || request.unfiled))
        throw CliError("--all chooses every contact: it takes no --folder or --unfiled");
    auto world = context.OpenWorld();
    activesync::DeviceLink link(*world);
    EnginePartnership partnership = PartnershipToWorkFor(*world, link, true);

    ScriptOutcome outcome;
    bool scripted = !request.Empty();
    DialogPlanner planner;
    if (scripted)
        planner = [request](const std::vector<pal::DialogControl>& controls) {
            return PlanContactsOptions(controls, request);
        };
    auto& drivers = world->Desktop().Get<pal::DialogDrivers>();
    drivers.SetDriver(scripted ? ScriptedDialogDriver(planner, {}, std::cout, outcome)
                               : TerminalDialogDriver(std::cin, std::cout));
    HRESULT result = E_FAIL;
    StoreRun run;
    {
        std::optional<activesync::DeviceSession> session;
        if (link.IsConnected()) session.emplace(link);
        activesync::DesktopHost host(world->Desktop());
        run = RunStore(host, partnership.flags, "Address",
                       [&](IReplStore& store, HREPLFLD folder, const StoreRun& run) {
                           if (FAILED(run.initialize)) return;
                           result = store.ActivateDialog(OBJTYPE_DLG_OPTIONS, host.MainWindow(),
                                                         folder, nullptr);
                       });
    }
    drivers.SetDriver({});
    CheckStoreRun(run);

    std::string said;
    if (result == S_OK)
        said = "OK";
    else if (result == kDialogCancelled)
        said = "cancelled";
    else
        throw CliError("ActivateDialog failed with " + Hresult(result));
    std::cout << "outcome: " << said << "\n"
              << StoredContactsOptions(*world, partnership.id) << std::flush;
    if (!scripted) return;
    if (!outcome.ran) throw CliError("the store opened no dialog");
    if (!outcome.error.empty()) throw CliError(outcome.error + "; nothing was saved");
}

}  // namespace

void AddContactsOptionsCommand(CLI::App& app, CliContext& context) {
    auto* options = GroupCommand(app, "options", "the desktop provider's options dialogs");
    auto* contacts = options->add_subcommand(
        "contacts",
        "the contacts options dialog of the connected (else the selected) partnership: run from "
        "the terminal, or scripted by --all, --folder and --unfiled and then confirmed with OK");
    auto request = std::make_shared<ContactsRequest>();
    contacts->add_flag("--all", request->all, "synchronize every contact");
    contacts->add_option("--folder", request->folders,
                         "synchronize only the chosen folders: this one (repeat for more)")
        ->allow_extra_args(false);
    contacts->add_option("--unfiled", request->unfiled,
                         "true or false: include the contacts that belong to no folder");
    contacts->callback([&context, request] { RunContactsOptions(context, *request); });
}

}  // namespace velumex
