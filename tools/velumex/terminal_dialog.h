// Dialogs run from the terminal. The interactive driver shows the open dialog as text and acts on
// commands read from a stream, as a person at the screen would; the scripted driver performs a
// list of actions given on the command line and then presses OK.
#pragma once

#include <windows.h>

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "pal/runtime/dialog_driver.h"

namespace velumex {

// One thing a person does to a control.
struct DialogAction {
    enum class Kind {
        Check,    // click a check box that is not checked (nothing when it is)
        Uncheck,  // click a check box that is checked (nothing when it is not)
        Click,    // click a button
        Type,     // replace an edit's text
        Tick,     // tick a line of a check-box list view
        Untick,   // untick it
    };
    Kind kind = Kind::Click;
    int id = 0;
    std::string text;  // UTF-8, for Type
    int line = 0;      // from 0, for Tick and Untick

    bool operator==(const DialogAction&) const = default;
};

// The action as the terminal command that asks for it ("check 1010", "type 1030 5").
std::string Describe(const DialogAction& action);

struct ActionResult {
    bool acted = false;  // the dialog received the action (its message boxes are the session's)
    std::string error;   // why the action could not be done; empty when it was or was not needed
};

// Performs the action. It fails, doing nothing, when the dialog has ended or the control is
// missing, disabled, of another kind, or refuses the text; a check box already in the asked
// state needs nothing.
ActionResult Perform(pal::DialogSession& dialog, const DialogAction& action);

// Reads an action from its command ("check 1010", "type 1030 5", "tick 1011 2" with lines
// counted from 1); nothing for a line that is not an action command. Throws CliError for an
// action command with a bad id or line.
std::optional<DialogAction> ParseAction(const std::string& command);

// The dialog as text: its title and template name, then each control in template order with
// its id, kind, check state or text, and whether it is disabled.
std::string Render(const pal::DialogSession& dialog);

// Runs the open dialog from the terminal: draws it on `out`, then reads one command per line
// from `in` ("help" lists them). After each action it shows the message boxes the action raised
// and draws the dialog again. It returns when the dialog has ended, after "cancel" (Cancel is
// pressed), or at the end of the input (Cancel is pressed).
void RunTerminalDialog(pal::DialogSession& dialog, std::istream& in, std::ostream& out);
// The same as a machine's dialog driver; the streams must outlive it.
pal::DialogDriver TerminalDialogDriver(std::istream& in, std::ostream& out);

// What the scripted driver saw.
struct ScriptOutcome {
    bool ran = false;  // a dialog was opened
    bool pressedOk = false;
    bool refused = false;  // OK left the dialog open
    std::string error;     // why the script stopped before OK (Cancel was pressed)
    std::vector<pal::MessageBoxRecord> boxes;
};

// Plans actions from what the open dialog shows; throws CliError when it cannot.
using DialogPlanner =
    std::function<std::vector<DialogAction>(const std::vector<pal::DialogControl>&)>;

// Performs the planner's actions (when there is a planner) and then `actions` on the dialog,
// echoing each on `out` with any message box it raised, then presses OK. A plan that fails or an
// action that cannot be done stops the script before OK; the dialog is then cancelled, as it is
// when OK leaves it open.
pal::DialogDriver ScriptedDialogDriver(DialogPlanner planner, std::vector<DialogAction> actions,
                                       std::ostream& out, ScriptOutcome& outcome);

}  // namespace velumex
