#include "pal/runtime/message_boxes.h"

#include "pal/msgbox.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"

namespace pal {

int MessageBoxes::Show(MessageBoxRecord box) {
    MessageBoxDriver driver;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        driver = m_driver;
    }
    // The driver runs unlocked: it may read the records or show boxes of its own.
    box.answer = driver ? driver(box) : DefaultAnswer(box.style);
    std::lock_guard<std::mutex> guard(m_lock);
    m_records.push_back(box);
    return box.answer;
}

std::vector<MessageBoxRecord> MessageBoxes::Records() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_records;
}

void MessageBoxes::Clear() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_records.clear();
}

void MessageBoxes::SetDriver(MessageBoxDriver driver) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_driver = std::move(driver);
}

int MessageBoxes::DefaultAnswer(UINT style) {
    switch (style & MB_TYPEMASK) {
        case MB_ABORTRETRYIGNORE:
            return IDABORT;
        case MB_YESNOCANCEL:
        case MB_YESNO:
            return IDYES;
        case MB_RETRYCANCEL:
            return IDRETRY;
        case MB_CANCELTRYCONTINUE:
            return IDCANCEL;
        default:
            return IDOK;
    }
}

}  // namespace pal

namespace {

int Show(HWND owner, std::u16string text, std::u16string caption, UINT style) {
    if ((style & MB_TYPEMASK) > MB_CANCELTRYCONTINUE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return pal::CurrentMachine().Get<pal::MessageBoxes>().Show(
        {owner, std::move(text), std::move(caption), style, 0});
}

}  // namespace

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    return Show(hWnd, lpText ? pal::Cp1252ToUtf16(lpText) : u"",
                lpCaption ? pal::Cp1252ToUtf16(lpCaption) : u"Error", uType);
}

int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    return Show(hWnd, lpText ? lpText : u"", lpCaption ? lpCaption : u"Error", uType);
}
