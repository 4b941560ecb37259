#include "terminal_dialog.h"

#include <cstdio>
#include <istream>
#include <ostream>
#include <sstream>

#include "cli.h"
#include "pal/runtime/encoding.h"

namespace velumex {

namespace {

using pal::ControlKind;

std::string Id(int id) { return std::to_string(id); }

// A control's text as the screen shows it: "&x" underlines x, "&&" is an ampersand.
std::string Shown(const pal::DialogControl& control) {
    std::string text = pal::U8(control.text);
    if (control.kind == ControlKind::Text && (control.style & SS_NOPREFIX)) return text;
    std::string shown;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        shown += text[i];
    }
    return shown;
}

std::string CheckMark(const pal::DialogControl& control) {
    if (control.kind == ControlKind::RadioButton) return control.checked ? "(o)" : "( )";
    if (control.check == BST_INDETERMINATE) return "[-]";
    return control.checked ? "[x]" : "[ ]";
}

std::string KindName(const pal::DialogControl& control) {
    switch (control.kind) {
        case ControlKind::PushButton:
            return "button";
        case ControlKind::CheckBox:
            return "check box";
        case ControlKind::RadioButton:
            return "radio";
        case ControlKind::GroupBox:
            return "group";
        case ControlKind::Edit:
            return "edit";
        case ControlKind::Text:
            return "text";
        case ControlKind::Icon:
            return "icon";
        case ControlKind::ListView:
            return "list";
        case ControlKind::Other:
            break;
    }
    return pal::U8(control.className);
}

std::string ControlLine(const pal::DialogControl& control) {
    char head[32];
    std::snprintf(head, sizeof head, "%7d %-10s", control.id, KindName(control).c_str());
    std::string line = head;
    switch (control.kind) {
        case ControlKind::PushButton:
            line += "<" + Shown(control) + ">";
            break;
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
            line += CheckMark(control) + " " + Shown(control);
            break;
        case ControlKind::Edit:
            line += "[" + pal::U8(control.text) + "]";
            break;
        case ControlKind::Icon:
            line += control.icon ? "(icon)" : "(no icon)";
            break;
        case ControlKind::ListView:
            break;
        default:
            line += Shown(control);
            break;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (!control.enabled) line += "  (disabled)";
    line += "\n";
    for (size_t i = 0; i < control.lines.size(); ++i) {
        const pal::ListViewLine& item = control.lines[i];
        bool boxes = control.extendedStyle & LVS_EX_CHECKBOXES;
        line += "          " + std::to_string(i + 1) + ". " +
                (boxes ? std::string(item.checked ? "[x] " : "[ ] ") : std::string()) +
                pal::U8(item.text) + "\n";
    }
    return line;
}

std::string Boxes(const std::vector<pal::MessageBoxRecord>& boxes) {
    std::string text;
    for (const auto& box : boxes)
        text += "message box: [" + pal::U8(box.caption) + "] " + pal::U8(box.text) + "\n";
    return text;
}

bool AllDigits(const std::string& text) {
    return text.find_first_not_of("0123456789") == std::string::npos;
}

int ParseNumber(const std::string& text, const char* what) {
    std::string digits = !text.empty() && text[0] == '-' ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 9 || !AllDigits(digits))
        throw CliError(std::string(what) + " '" + text + "' is not a number");
    return std::stoi(text);
}

const char kHelp[] =
    "commands:\n"
    "  check ID        tick a check box (or choose a radio button)\n"
    "  uncheck ID      clear a check box\n"
    "  click ID        click a button\n"
    "  type ID TEXT    replace the text of an edit (nothing after ID empties it)\n"
    "  tick ID LINE    tick a line of a list (lines count from 1)\n"
    "  untick ID LINE  untick it\n"
    "  ok              press OK\n"
    "  cancel          press Cancel\n"
    "  show            draw the dialog again\n"
    "  help            this list\n"
    "the end of the input presses Cancel\n";

}  // namespace

std::string Describe(const DialogAction& action) {
    switch (action.kind) {
        case DialogAction::Kind::Check:
            return "check " + Id(action.id);
        case DialogAction::Kind::Uncheck:
            return "uncheck " + Id(action.id);
        case DialogAction::Kind::Click:
            return "click " + Id(action.id);
        case DialogAction::Kind::Type:
            return "type " + Id(action.id) + " " + action.text;
        case DialogAction::Kind::Tick:
            return "tick " + Id(action.id) + " " + std::to_string(action.line + 1);
        case DialogAction::Kind::Untick:
            return "untick " + Id(action.id) + " " + std::to_string(action.line + 1);
    }
    return {};
}

ActionResult Perform(pal::DialogSession& dialog, const DialogAction& action) {
    using Kind = DialogAction::Kind;
    if (dialog.Ended()) return {false, "the dialog has ended"};
    std::optional<pal::DialogControl> control = dialog.Control(action.id);
    if (!control) return {false, "there is no control " + Id(action.id)};
    const std::string name = "control " + Id(action.id);
    switch (action.kind) {
        case Kind::Check:
        case Kind::Uncheck: {
            bool radio = control->kind == ControlKind::RadioButton;
            if (radio && action.kind == Kind::Uncheck)
                return {false, name + " is a radio button: check another one of its group"};
            if (control->kind != ControlKind::CheckBox && !radio)
                return {false, name + " is not a check box"};
            if (control->checked == (action.kind == Kind::Check)) return {};
            break;
        }
        case Kind::Click:
            if (control->kind != ControlKind::PushButton &&
                control->kind != ControlKind::CheckBox && control->kind != ControlKind::RadioButton)
                return {false, name + " is not a button"};
            break;
        case Kind::Type:
            if (control->kind != ControlKind::Edit) return {false, name + " is not an edit"};
            break;
        case Kind::Tick:
        case Kind::Untick:
            if (control->kind != ControlKind::ListView) return {false, name + " is not a list"};
            if (action.line < 0 || static_cast<size_t>(action.line) >= control->lines.size())
                return {false, name + " has no line " + std::to_string(action.line + 1)};
            break;
    }
    if (!control->enabled) return {false, name + " is disabled"};
    if (action.kind == Kind::Type && (control->style & ES_READONLY))
        return {false, name + " is read-only"};
    if (action.kind == Kind::Type && (control->style & ES_NUMBER) && !AllDigits(action.text))
        return {false, name + " takes digits only"};

    bool done = false;
    switch (action.kind) {
        case Kind::Check:
        case Kind::Uncheck:
        case Kind::Click:
            done = dialog.Click(action.id);
            break;
        case Kind::Type:
            done = dialog.Type(action.id, pal::U16(action.text));
            break;
        case Kind::Tick:
        case Kind::Untick:
            done = dialog.SetLineChecked(action.id, action.line, action.kind == Kind::Tick);
            break;
    }
    if (!done) return {false, name + " did not take the action"};
    return {true, {}};
}

std::optional<DialogAction> ParseAction(const std::string& command) {
    std::istringstream words(command);
    std::string verb;
    words >> verb;
    static const std::pair<const char*, DialogAction::Kind> kVerbs[] = {
        {"check", DialogAction::Kind::Check}, {"uncheck", DialogAction::Kind::Uncheck},
        {"click", DialogAction::Kind::Click}, {"type", DialogAction::Kind::Type},
        {"tick", DialogAction::Kind::Tick},   {"untick", DialogAction::Kind::Untick}};
    std::optional<DialogAction> action;
    for (const auto& [name, kind] : kVerbs)
        if (verb == name) action = DialogAction{kind, 0, {}, 0};
    if (!action) return std::nullopt;

    std::string id;
    if (!(words >> id)) throw CliError(verb + " needs a control id");
    action->id = ParseNumber(id, "control id");
    std::string rest;
    std::getline(words, rest);
    switch (action->kind) {
        case DialogAction::Kind::Type:
            // One blank separates the id from the text, which is taken as it stands.
            action->text = rest.empty() ? rest : rest.substr(1);
            break;
        case DialogAction::Kind::Tick:
        case DialogAction::Kind::Untick: {
            std::istringstream lineWords(rest);
            std::string line, extra;
            if (!(lineWords >> line)) throw CliError(verb + " needs a line number");
            int number = ParseNumber(line, "line");
            if (number < 1) throw CliError("lines count from 1");
            if (lineWords >> extra) throw CliError("unexpected '" + extra + "'");
            action->line = number - 1;
            break;
        }
        default:
            if (rest.find_first_not_of(" \t") != std::string::npos)
                throw CliError("unexpected text after the control id");
            break;
    }
    return action;
}

std::string Render(const pal::DialogSession& dialog) {
    const pal::ResourceId& name = dialog.TemplateName();
    std::string text = "dialog " +
                       (name.IsOrdinal() ? std::to_string(name.Ordinal()) : pal::U8(name.Text())) +
                       " \"" + pal::U8(dialog.Title()) + "\"\n";
    for (const pal::DialogControl& control : dialog.Controls()) text += ControlLine(control);
    return text;
}

void RunTerminalDialog(pal::DialogSession& dialog, std::istream& in, std::ostream& out) {
    out << Render(dialog) << "(type help for the commands)\n";
    std::string command;
    while (out << "> " << std::flush, std::getline(in, command)) {
        if (!command.empty() && command.back() == '\r') command.pop_back();
        std::istringstream words(command);
        std::string verb;
        if (!(words >> verb)) continue;
        if (verb == "help") {
            out << kHelp;
            continue;
        }
        if (verb == "show") {
            out << Render(dialog);
            continue;
        }
        if (verb == "ok" || verb == "cancel") {
            bool ok = verb == "ok";
            bool acted = ok ? dialog.Ok() : dialog.Cancel();
            if (acted) out << Boxes(dialog.LastMessageBoxes());
            if (dialog.Ended()) return;
            out << (ok ? "the dialog stays open\n" : "Cancel is disabled\n") << Render(dialog);
            continue;
        }
        std::optional<DialogAction> action;
        try {
            action = ParseAction(command);
        } catch (const CliError& e) {
            out << "? " << e.what() << "\n";
            continue;
        }
        if (!action) {
            out << "? unknown command '" << verb << "' (type help for the commands)\n";
            continue;
        }
        ActionResult result = Perform(dialog, *action);
        if (!result.error.empty()) {
            out << "? " << result.error << "\n";
            continue;
        }
        if (!result.acted) {
            out << "(nothing to do: it is so already)\n";
            continue;
        }
        out << Boxes(dialog.LastMessageBoxes());
        if (dialog.Ended()) return;
        out << Render(dialog);
    }
    out << "\nend of input: Cancel\n";
    dialog.Cancel();
}

pal::DialogDriver TerminalDialogDriver(std::istream& in, std::ostream& out) {
    return [&in, &out](pal::DialogSession& dialog) { RunTerminalDialog(dialog, in, out); };
}

pal::DialogDriver ScriptedDialogDriver(DialogPlanner planner, std::vector<DialogAction> actions,
                                       std::ostream& out, ScriptOutcome& outcome) {
    return [planner = std::move(planner), actions = std::move(actions), &out,
            &outcome](pal::DialogSession& dialog) {
        outcome.ran = true;
        std::vector<DialogAction> steps;
        if (planner) {
            try {
                steps = planner(dialog.Controls());
            } catch (const CliError& e) {
                outcome.error = e.what();
                return;
            }
        }
        steps.insert(steps.end(), actions.begin(), actions.end());
        for (const DialogAction& step : steps) {
            out << "> " << Describe(step) << "\n";
            ActionResult result = Perform(dialog, step);
            if (!result.error.empty()) {
                outcome.error = result.error;
                return;
            }
            if (!result.acted) continue;
            const auto& boxes = dialog.LastMessageBoxes();
            out << Boxes(boxes);
            outcome.boxes.insert(outcome.boxes.end(), boxes.begin(), boxes.end());
            if (dialog.Ended()) {
                outcome.error = "the dialog closed before OK";
                return;
            }
        }
        out << "> ok\n";
        outcome.pressedOk = dialog.Ok();
        const auto& boxes = dialog.LastMessageBoxes();
        if (outcome.pressedOk) {
            out << Boxes(boxes);
            outcome.boxes.insert(outcome.boxes.end(), boxes.begin(), boxes.end());
        }
        outcome.refused = !dialog.Ended();
    };
}

}  // namespace velumex
