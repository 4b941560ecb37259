// The windowing state of one machine: its classes, windows, Z order, foreground window and the
// message queues of its threads. One lock guards all of it; window procedures are always called
// with the lock released.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "pal/runtime/components.h"
#include "pal/runtime/window_manager.h"
#include "pal/windowing.h"

namespace pal {
class Machine;
}

namespace pal::windowing {

struct WindowClass {
    std::u16string name;
    ATOM atom = 0;
    DWORD processId = 0;  // 0: a system class, found by every process of the machine
    HINSTANCE instance = nullptr;
    UINT style = 0;
    WNDPROC proc = nullptr;
    bool unicode = true;  // registered through the W form: text messages arrive as UTF-16
    int windowExtra = 0;
};

// A class named by text or by atom (a pointer value below 0x10000).
struct ClassRef {
    ATOM atom = 0;
    std::u16string name;
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<const WindowClass> windowClass;
    DWORD threadId = 0;
    DWORD processId = 0;
    HINSTANCE instance = nullptr;
    HWND parent = nullptr;
    HWND owner = nullptr;
    std::vector<HWND> children;  // creation order, which is their Z order
    LONG style = 0;
    LONG exStyle = 0;
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    WNDPROC proc = nullptr;
    bool unicode = true;
    std::u16string text;
    std::vector<BYTE> extra;
    bool destroying = false;
};

struct SentMessage {
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool unicode = true;  // the sender's form, for text messages
    DWORD senderThread = 0;
    LRESULT result = 0;
    bool done = false;
};

struct MessageQueue {
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    bool quit = false;
    int quitCode = 0;
    bool waiting = false;
    std::condition_variable wake;
};

// What CreateWindowEx was given, with the caller's own name pointers for the CREATESTRUCT.
struct CreateParams {
    ClassRef windowClass;
    const void* callerName = nullptr;
    const void* callerClass = nullptr;
    bool unicode = true;
    DWORD exStyle = 0;
    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    HWND parent = nullptr;
    HMENU menu = nullptr;
    HINSTANCE instance = nullptr;
    LPVOID param = nullptr;
};

// The filter of GetMessage / PeekMessage.
struct MessageFilter {
    HWND window = nullptr;
    UINT first = 0;
    UINT last = 0;
};

class WindowState : public Component {
public:
    explicit WindowState(Machine& machine);
    ~WindowState() override;

    // Classes (classes.cpp).
    ATOM AddClass(WindowClass windowClass);
    ATOM AddSystemClass(WindowClass windowClass);

    // Windows (windows.cpp; List and Describe in window_manager.cpp).
    HWND Create(const CreateParams& params);
    bool Destroy(HWND handle);
    // A live window; without the lock only its fixed fields (handle, class, thread, process,
    // parent) may be read.
    std::shared_ptr<Window> Find(HWND handle);
    HWND Relation(HWND handle, UINT command);
    // A child's parent or a top-level window's owner.
    std::optional<HWND> ParentOf(HWND handle);
    std::vector<WindowInfo> List();
    std::optional<WindowInfo> Describe(HWND handle);
    bool BringToForeground(HWND handle);
    HWND Foreground();
    void ReleaseThread(DWORD threadId);

    // Window longs and text (window_data.cpp). `size` is 4 or 8: the width of the long asked.
    std::optional<LONG_PTR> GetLong(HWND handle, int index, size_t size);
    std::optional<LONG_PTR> SetLong(HWND handle, int index, LONG_PTR value, size_t size,
                                    bool unicode);
    std::optional<std::u16string> StoredText(HWND handle);
    void StoreText(HWND handle, std::u16string text);

    // Messages (messages.cpp).
    LRESULT Send(HWND handle, UINT message, WPARAM wParam, LPARAM lParam, bool unicode);
    bool Post(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
    bool PostToThread(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
    void PostQuit(int exitCode);
    enum class Retrieval { Message, Quit, Nothing, BadFilter };
    // Handles the messages sent to the calling thread, then takes (or, without `remove`, copies)
    // the first posted message that passes, or WM_QUIT; `wait` blocks until one comes.
    Retrieval Retrieve(MSG& out, const MessageFilter& filter, bool remove, bool wait);
    LRESULT Dispatch(const MSG& message, bool unicode);
    std::optional<QueueInfo> QueueState(DWORD threadId);
    bool WaitForQueue(DWORD threadId, const std::function<bool(const QueueInfo&)>& condition,
                      DWORD timeoutMs);

    // The procedure of a live window called on this thread, text messages converted between the
    // caller's form and the procedure's; 0 when the window is gone.
    LRESULT Call(HWND handle, UINT message, WPARAM wParam, LPARAM lParam, bool unicode);

private:
    using Lock = std::unique_lock<std::mutex>;

    std::shared_ptr<const WindowClass> FindClassLocked(DWORD processId, const ClassRef& ref,
                                                       HINSTANCE instance);
    ATOM InsertClassLocked(WindowClass windowClass);
    Window* FindLocked(HWND handle);
    std::vector<HWND>& SiblingsLocked(const Window& window);
    void DestroyTree(HWND handle);
    void Unlink(HWND handle);
    MessageQueue& QueueLocked(DWORD threadId);
    void Notify(MessageQueue& queue);
    void HandleSent(Lock& lock, MessageQueue& queue);
    void CompleteLocked(const std::shared_ptr<SentMessage>& sent, LRESULT result);
    bool PassesLocked(const MSG& message, const MessageFilter& filter);
    QueueInfo InfoLocked(const MessageQueue& queue) const;
    void RunShell();

    Machine& m_machine;
    std::mutex m_lock;
    std::condition_variable m_changed;  // any queue changed (for WaitForQueue)
    std::vector<std::shared_ptr<WindowClass>> m_classes;
    ATOM m_nextAtom = 0xC000;
    std::map<HWND, std::shared_ptr<Window>> m_windows;
    std::vector<HWND> m_topLevel;  // Z order, top first
    HWND m_foreground = nullptr;
    std::map<DWORD, std::unique_ptr<MessageQueue>> m_queues;
    HWND m_shell = nullptr;
    DWORD m_shellThreadId = 0;
    std::thread m_shellThread;
};

// The current machine's windowing state.
WindowState& State();

// Thread filter of GetMessage / PeekMessage: thread messages only.
inline const HWND kThreadMessages = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

}  // namespace pal::windowing
