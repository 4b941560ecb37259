#include <utility>

#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/process.h"
#include "text_forms.h"
#include "window_state.h"

namespace pal::windowing {

namespace {

bool Matches(const WindowClass& windowClass, const ClassRef& ref) {
    return ref.atom ? windowClass.atom == ref.atom : EqualsNoCase(windowClass.name, ref.name);
}

bool IsGlobal(const WindowClass& windowClass) { return windowClass.style & CS_GLOBALCLASS; }

}  // namespace

ATOM WindowState::InsertClassLocked(WindowClass windowClass) {
    windowClass.atom = m_nextAtom++;
    m_classes.push_back(std::make_shared<WindowClass>(std::move(windowClass)));
    return m_classes.back()->atom;
}

ATOM WindowState::AddClass(WindowClass windowClass) {
    Lock lock(m_lock);
    for (auto& existing : m_classes) {
        if (existing->processId != windowClass.processId ||
            !EqualsNoCase(existing->name, windowClass.name))
            continue;
        if (existing->instance == windowClass.instance || IsGlobal(*existing) ||
            IsGlobal(windowClass)) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    return InsertClassLocked(std::move(windowClass));
}

ATOM WindowState::AddSystemClass(WindowClass windowClass) {
    Lock lock(m_lock);
    for (auto& existing : m_classes)
        if (existing->processId == 0 && EqualsNoCase(existing->name, windowClass.name))
            return existing->atom;
    windowClass.processId = 0;
    windowClass.style |= CS_GLOBALCLASS;
    return InsertClassLocked(std::move(windowClass));
}

// The process's own class for this instance, then its global classes, then the system's.
std::shared_ptr<const WindowClass> WindowState::FindClassLocked(DWORD processId,
                                                                const ClassRef& ref,
                                                                HINSTANCE instance) {
    for (auto& c : m_classes)
        if (c->processId == processId && !IsGlobal(*c) && c->instance == instance &&
            Matches(*c, ref))
            return c;
    for (auto& c : m_classes)
        if (c->processId == processId && IsGlobal(*c) && Matches(*c, ref)) return c;
    for (auto& c : m_classes)
        if (c->processId == 0 && Matches(*c, ref)) return c;
    return nullptr;
}

namespace {

template <class Spec>
ATOM Register(const Spec& spec, bool unicode) {
    if (!spec.lpfnWndProc || !spec.lpszClassName || spec.cbWndExtra < 0 || spec.cbClsExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WindowClass windowClass;
    windowClass.name = WideFromCaller(spec.lpszClassName, unicode);
    if (windowClass.name.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    windowClass.processId = CurrentProcess().Id();
    windowClass.instance = spec.hInstance;
    windowClass.style = spec.style;
    windowClass.proc = spec.lpfnWndProc;
    windowClass.unicode = unicode;
    windowClass.windowExtra = spec.cbWndExtra;
    return State().AddClass(std::move(windowClass));
}

template <class SpecEx>
ATOM RegisterEx(const SpecEx* spec, bool unicode) {
    if (!spec || spec->cbSize != sizeof(SpecEx)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Register(*spec, unicode);
}

int ClassName(HWND handle, void* buffer, int capacity, bool unicode) {
    auto window = State().Find(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (!buffer || capacity <= 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return static_cast<int>(
        CopyToCaller(window->windowClass->name, buffer, static_cast<size_t>(capacity), unicode));
}

}  // namespace

}  // namespace pal::windowing

using namespace pal::windowing;

ATOM RegisterClassA(const WNDCLASSA* lpWndClass) {
    if (!lpWndClass) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Register(*lpWndClass, false);
}

ATOM RegisterClassW(const WNDCLASSW* lpWndClass) {
    if (!lpWndClass) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Register(*lpWndClass, true);
}

ATOM RegisterClassExA(const WNDCLASSEXA* lpWndClass) { return RegisterEx(lpWndClass, false); }

ATOM RegisterClassExW(const WNDCLASSEXW* lpWndClass) { return RegisterEx(lpWndClass, true); }

int GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount) {
    return ClassName(hWnd, lpClassName, nMaxCount, false);
}

int GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount) {
    return ClassName(hWnd, lpClassName, nMaxCount, true);
}
