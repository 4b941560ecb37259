// The dialog driver: who runs a machine's modal dialogs in place of a person. While a dialog is
// open, DialogBoxParam hands the driver a DialogSession through which it reads what the dialog
// shows and acts on it: clicking buttons, typing into edits, ticking list-view lines. Each action
// runs the dialog procedure synchronously, on the thread that opened the dialog, before it
// returns. When the driver returns and the dialog is still open, Cancel is pressed; a dialog that
// stays open even then ends with IDCANCEL. Without a driver every dialog is cancelled at once.
//
// Message boxes a dialog procedure shows while handling an action are answered by the machine's
// message-box driver (message_boxes.h) as usual; the session lists the ones each action showed.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "pal/runtime/components.h"
#include "pal/runtime/message_boxes.h"
#include "pal/runtime/resource_data.h"
#include "pal/types.h"

namespace pal {

class Machine;

namespace dialogs {
class DialogWindow;
}

enum class ControlKind {
    PushButton,   // BS_PUSHBUTTON, BS_DEFPUSHBUTTON
    CheckBox,     // BS_CHECKBOX, BS_AUTOCHECKBOX, BS_3STATE, BS_AUTO3STATE
    RadioButton,  // BS_RADIOBUTTON, BS_AUTORADIOBUTTON
    GroupBox,
    Edit,
    Text,  // a static that is not an icon
    Icon,  // SS_ICON
    ListView,
    Other,
};

struct ListViewLine {
    std::u16string text;
    int image = 0;
    LPARAM data = 0;  // the item's lParam
    UINT state = 0;
    bool checked = false;  // state image 2
};

struct ListViewColumn {
    std::u16string text;
    int width = 0;
};

// A control as a person sees it.
struct DialogControl {
    HWND window = nullptr;
    int id = 0;
    std::u16string className;
    ControlKind kind = ControlKind::Other;
    LONG style = 0;
    std::u16string text;
    UINT check = 0;  // BST_* of buttons
    bool checked = false;
    bool enabled = true;
    HICON icon = nullptr;  // statics
    HFONT font = nullptr;  // the font set with WM_SETFONT
    // List views.
    DWORD extendedStyle = 0;
    HIMAGELIST smallImages = nullptr;
    std::vector<ListViewColumn> columns;
    std::vector<ListViewLine> lines;
};

class DialogSession {
public:
    DialogSession(std::shared_ptr<dialogs::DialogWindow> dialog, ResourceId templateName);

    HWND Window() const;
    // The template's name (ordinal or text) and the dialog's title.
    const ResourceId& TemplateName() const { return m_templateName; }
    std::u16string Title() const;
    // Every control in template order; a control by id (nothing when there is none).
    std::vector<DialogControl> Controls() const;
    std::optional<DialogControl> Control(int id) const;

    // Each action returns false, doing nothing, when the dialog has ended or the control is
    // missing, disabled or of another kind.
    // Clicks a button: an auto check box or radio button changes first, then the dialog gets
    // WM_COMMAND (MAKEWPARAM(id, BN_CLICKED), the button).
    bool Click(int id);
    // Replaces an edit's text (the dialog gets EN_CHANGE). A number edit (ES_NUMBER) refuses
    // text that is not all digits, and a read-only one any text.
    bool Type(int id, std::u16string_view text);
    // Ticks or unticks line `line` of a check-box list view.
    bool SetLineChecked(int id, int line, bool checked);
    // Click(IDOK).
    bool Ok();
    // Esc: WM_COMMAND IDCANCEL (with the Cancel button, or NULL without one) unless the Cancel
    // button is disabled.
    bool Cancel();

    bool Ended() const;
    // The EndDialog result once ended.
    INT_PTR Result() const;
    // The message boxes shown while the last action ran, oldest first.
    const std::vector<MessageBoxRecord>& LastMessageBoxes() const { return m_boxes; }

private:
    template <class Action>
    bool Act(Action action);

    std::shared_ptr<dialogs::DialogWindow> m_dialog;
    ResourceId m_templateName;
    std::vector<MessageBoxRecord> m_boxes;
};

using DialogDriver = std::function<void(DialogSession&)>;

// The machine's dialog drivers.
class DialogDrivers : public Component {
public:
    explicit DialogDrivers(Machine&) {}
    // The driver of every dialog that finds no queued one; an empty one cancels them.
    void SetDriver(DialogDriver driver);
    // A scripted sequence: each dialog opened takes the oldest queued driver.
    void Queue(DialogDriver driver);
    size_t QueuedCount() const;
    // The driver for the next dialog (removed from the queue), or an empty one.
    DialogDriver Next();

private:
    mutable std::mutex m_lock;
    DialogDriver m_driver;
    std::deque<DialogDriver> m_queue;
};

}  // namespace pal
