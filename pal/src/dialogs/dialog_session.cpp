// What a dialog driver sees of an open dialog and the actions it takes, and the machine's
// drivers.
#include "managed_windows.h"
#include "pal/runtime/context.h"
#include "pal/runtime/dialog_driver.h"
#include "pal/runtime/machine.h"

namespace pal {

namespace {

std::u16string TextOf(HWND window) {
    std::u16string text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, u'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::u16string ClassNameOf(HWND window) {
    char16_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

ControlKind ButtonKind(LONG style) {
    switch (style & BS_TYPEMASK) {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON:
            return ControlKind::PushButton;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
            return ControlKind::CheckBox;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return ControlKind::RadioButton;
        case BS_GROUPBOX:
            return ControlKind::GroupBox;
        default:
            return ControlKind::Other;
    }
}

DialogControl Describe(HWND window) {
    DialogControl control;
    control.window = window;
    control.id = GetDlgCtrlID(window);
    control.className = ClassNameOf(window);
    control.style = GetWindowLongW(window, GWL_STYLE);
    control.text = TextOf(window);
    control.enabled = !(control.style & WS_DISABLED);
    auto state = dialogs::Managed().Find(window);
    if (state) control.font = state->font;
    if (auto button = std::dynamic_pointer_cast<dialogs::Button>(state)) {
        control.kind = ButtonKind(control.style);
        control.check = button->check;
        control.checked = button->check == BST_CHECKED;
    } else if (std::dynamic_pointer_cast<dialogs::Edit>(state)) {
        control.kind = ControlKind::Edit;
    } else if (auto label = std::dynamic_pointer_cast<dialogs::Static>(state)) {
        control.kind =
            (control.style & SS_TYPEMASK) == SS_ICON ? ControlKind::Icon : ControlKind::Text;
        control.icon = label->icon;
    } else if (auto list = std::dynamic_pointer_cast<dialogs::ListView>(state)) {
        control.kind = ControlKind::ListView;
        control.extendedStyle = list->extendedStyle;
        control.smallImages = list->images[LVSIL_SMALL];
        control.columns = list->columns;
        for (auto& item : list->items)
            control.lines.push_back(
                ListViewLine{item.text, item.image, item.data, item.state,
                             (item.state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2)});
    }
    return control;
}

}  // namespace

DialogSession::DialogSession(std::shared_ptr<dialogs::DialogWindow> dialog, ResourceId templateName)
    : m_dialog(std::move(dialog)), m_templateName(std::move(templateName)) {}

HWND DialogSession::Window() const { return m_dialog->handle; }

std::u16string DialogSession::Title() const { return TextOf(m_dialog->handle); }

std::vector<DialogControl> DialogSession::Controls() const {
    std::vector<DialogControl> controls;
    if (!IsWindow(m_dialog->handle)) return controls;
    for (HWND child = GetWindow(m_dialog->handle, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT))
        controls.push_back(Describe(child));
    return controls;
}

std::optional<DialogControl> DialogSession::Control(int id) const {
    if (!IsWindow(m_dialog->handle)) return std::nullopt;
    HWND child = dialogs::FindChild(m_dialog->handle, id);
    if (!child) return std::nullopt;
    return Describe(child);
}

template <class Action>
bool DialogSession::Act(Action action) {
    m_boxes.clear();
    if (Ended()) return false;
    auto& boxes = CurrentMachine().Get<pal::MessageBoxes>();
    size_t before = boxes.Records().size();
    bool done = action();
    auto after = boxes.Records();
    if (after.size() > before)
        m_boxes.assign(after.begin() + static_cast<ptrdiff_t>(before), after.end());
    return done;
}

bool DialogSession::Click(int id) {
    return Act([&] {
        HWND button = dialogs::FindChild(m_dialog->handle, id);
        if (!button || !dialogs::Managed().FindAs<dialogs::Button>(button) ||
            !IsWindowEnabled(button) ||
            (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX)
            return false;
        SendMessageW(button, BM_CLICK, 0, 0);
        return true;
    });
}

bool DialogSession::Type(int id, std::u16string_view text) {
    return Act([&] {
        HWND edit = dialogs::FindChild(m_dialog->handle, id);
        if (!edit || !dialogs::Managed().FindAs<dialogs::Edit>(edit) || !IsWindowEnabled(edit))
            return false;
        LONG style = GetWindowLongW(edit, GWL_STYLE);
        if (style & ES_READONLY) return false;
        if (style & ES_NUMBER)
            for (char16_t unit : text)
                if (unit < u'0' || unit > u'9') return false;
        std::u16string typed(text);
        SetWindowTextW(edit, typed.c_str());
        return true;
    });
}

bool DialogSession::SetLineChecked(int id, int line, bool checked) {
    return Act([&] {
        HWND window = dialogs::FindChild(m_dialog->handle, id);
        auto list = window ? dialogs::Managed().FindAs<dialogs::ListView>(window) : nullptr;
        if (!list || !IsWindowEnabled(window) || !(list->extendedStyle & LVS_EX_CHECKBOXES) ||
            line < 0 || line >= ListView_GetItemCount(window))
            return false;
        ListView_SetCheckState(window, line, checked);
        return true;
    });
}

bool DialogSession::Ok() { return Click(IDOK); }

bool DialogSession::Cancel() {
    return Act([&] { return dialogs::PressCancel(m_dialog->handle); });
}

bool DialogSession::Ended() const { return m_dialog->ended || !IsWindow(m_dialog->handle); }

INT_PTR DialogSession::Result() const { return m_dialog->result; }

void DialogDrivers::SetDriver(DialogDriver driver) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_driver = std::move(driver);
}

void DialogDrivers::Queue(DialogDriver driver) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_queue.push_back(std::move(driver));
}

size_t DialogDrivers::QueuedCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_queue.size();
}

DialogDriver DialogDrivers::Next() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_queue.empty()) return m_driver;
    DialogDriver next = std::move(m_queue.front());
    m_queue.pop_front();
    return next;
}

}  // namespace pal
