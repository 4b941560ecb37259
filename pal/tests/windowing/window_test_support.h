// A window procedure that records every message it gets (with the thread it ran on) and lets a
// test decide the answer to chosen messages; the rest go to the default procedure.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/windowing.h"
#include "pal_testing/temp_world.h"

namespace pal::testing {

struct Seen {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD threadId;
};

class Journal {
public:
    void Add(const Seen& seen) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_seen.push_back(seen);
    }
    std::vector<Seen> All() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_seen;
    }
    // The messages seen from `first` to `last`, in order, with their windows.
    std::vector<std::pair<HWND, UINT>> Between(UINT first, UINT last) {
        std::vector<std::pair<HWND, UINT>> out;
        for (auto& seen : All())
            if (seen.message >= first && seen.message <= last)
                out.emplace_back(seen.window, seen.message);
        return out;
    }
    std::vector<Seen> Of(UINT message) {
        std::vector<Seen> out;
        for (auto& seen : All())
            if (seen.message == message) out.push_back(seen);
        return out;
    }
    void Clear() {
        std::lock_guard<std::mutex> guard(m_lock);
        m_seen.clear();
    }

private:
    std::mutex m_lock;
    std::vector<Seen> m_seen;
};

using Handler = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;

inline Journal g_journal;
// Set before any window of the test exists; called on the window's thread.
inline Handler g_handler;

inline LRESULT CALLBACK RecordingProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_journal.Add({window, message, wParam, lParam, CurrentThreadId()});
    if (g_handler)
        if (auto result = g_handler(window, message, wParam, lParam)) return *result;
    return DefWindowProcW(window, message, wParam, lParam);
}

inline LRESULT CALLBACK RecordingProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_journal.Add({window, message, wParam, lParam, CurrentThreadId()});
    if (g_handler)
        if (auto result = g_handler(window, message, wParam, lParam)) return *result;
    return DefWindowProcA(window, message, wParam, lParam);
}

inline ATOM RegisterRecordingClass(const char16_t* name, HINSTANCE instance = nullptr,
                                   int windowExtra = 0) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = RecordingProcW;
    windowClass.cbWndExtra = windowExtra;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = name;
    return RegisterClassW(&windowClass);
}

inline HWND CreateTopLevel(const char16_t* className, const char16_t* text = u"",
                           HWND owner = nullptr, LPVOID param = nullptr) {
    return CreateWindowExW(0, className, text, WS_POPUP, 0, 0, 0, 0, owner, nullptr, nullptr,
                           param);
}

inline HWND CreateChild(const char16_t* className, HWND parent, int id) {
    return CreateWindowExW(0, className, u"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent,
                           reinterpret_cast<HMENU>(static_cast<LONG_PTR>(id)), nullptr, nullptr);
}

// A desktop test whose recording procedure starts with an empty journal and no handler.
class WindowTest : public DesktopTest {
protected:
    WindowTest() {
        g_journal.Clear();
        g_handler = nullptr;
    }
    ~WindowTest() override { g_handler = nullptr; }
};

}  // namespace pal::testing
