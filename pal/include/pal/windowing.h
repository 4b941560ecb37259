// Windows and messages: classes, windows, queues, sending and posting.
//
// Windows live in their machine: an HWND is unique among every machine of the run and never
// reused, and the calls below find windows of the current machine only, whichever process made
// them. A window belongs to the thread that created it; each thread has its own message queue,
// created the first time the thread uses one. ANSI text is the desktop's code page (1252).
#pragma once

#include "pal/errors.h"
#include "pal/types.h"

#define ERROR_MESSAGE_SYNC_ONLY 1159L
#define ERROR_TLW_WITH_WSCHILD 1406L
#define ERROR_INVALID_GW_COMMAND 1412L
#define ERROR_INVALID_THREAD_ID 1444L

using WNDPROC = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);

// Messages.
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_COMMAND 0x0111
#define WM_USER 0x0400
#define WM_APP 0x8000

// Window styles, spelled as the resource scripts' constants spell them (velumex_rc.h), so that
// a file may include both.
#define WS_OVERLAPPED 0x00000000
#define WS_POPUP 0x80000000
#define WS_CHILD 0x40000000
#define WS_MINIMIZE 0x20000000
#define WS_VISIBLE 0x10000000
#define WS_DISABLED 0x08000000
#define WS_CLIPSIBLINGS 0x04000000
#define WS_CLIPCHILDREN 0x02000000
#define WS_MAXIMIZE 0x01000000
#define WS_CAPTION 0x00C00000
#define WS_BORDER 0x00800000
#define WS_DLGFRAME 0x00400000
#define WS_VSCROLL 0x00200000
#define WS_HSCROLL 0x00100000
#define WS_SYSMENU 0x00080000
#define WS_THICKFRAME 0x00040000
#define WS_GROUP 0x00020000
#define WS_TABSTOP 0x00010000
#define WS_MINIMIZEBOX 0x00020000
#define WS_MAXIMIZEBOX 0x00010000
#define WS_OVERLAPPEDWINDOW \
    (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_POPUPWINDOW (WS_POPUP | WS_BORDER | WS_SYSMENU)

// Class styles; a CS_GLOBALCLASS class is found whatever instance CreateWindow names.
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008
#define CS_GLOBALCLASS 0x4000

#define CW_USEDEFAULT (static_cast<int>(0x80000000))

// Window longs. Non-negative indexes address the cbWndExtra bytes of the window.
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_HWNDPARENT (-8)
#define GWLP_ID (-12)
#define GWL_ID (-12)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWLP_USERDATA (-21)

// GetWindow relations.
#define GW_HWNDFIRST 0
#define GW_HWNDLAST 1
#define GW_HWNDNEXT 2
#define GW_HWNDPREV 3
#define GW_OWNER 4
#define GW_CHILD 5

// PeekMessage options.
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define PM_NOYIELD 0x0002

// A class atom in place of a class name.
#define MAKEINTATOM(i) (reinterpret_cast<LPTSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))

// Windows field order.
struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};
struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
};
struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
};
struct WNDCLASSEXW {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
    HICON hIconSm;
};

struct CREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};
struct CREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};
using LPCREATESTRUCTA = CREATESTRUCTA*;
using LPCREATESTRUCTW = CREATESTRUCTW*;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using PMSG = MSG*;
using LPMSG = MSG*;

// Registers a class for the calling process, keyed by its name (compared without regard to case)
// and instance; ERROR_CLASS_ALREADY_EXISTS when the process already has it. Returns its atom.
ATOM RegisterClassA(const WNDCLASSA* lpWndClass);
ATOM RegisterClassW(const WNDCLASSW* lpWndClass);
// The same; cbSize must be sizeof the structure (ERROR_INVALID_PARAMETER otherwise).
ATOM RegisterClassExA(const WNDCLASSEXA* lpWndClass);
ATOM RegisterClassExW(const WNDCLASSEXW* lpWndClass);

// Creates a window owned by the calling thread and process. WM_NCCREATE and WM_CREATE reach the
// window procedure before this returns, on this thread, with a CREATESTRUCT whose lpCreateParams
// is lpParam. A WM_CREATE result of -1 destroys the window (WM_DESTROY, WM_NCDESTROY) and a
// WM_NCCREATE result of 0 discards it (WM_NCDESTROY); either way the result is NULL. A WS_CHILD
// window needs a parent (ERROR_TLW_WITH_WSCHILD) and takes hMenu as its id; a top-level window
// takes hWndParent as its owner. ERROR_CANNOT_FIND_WND_CLASS for an unknown class.
HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                     int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                     HINSTANCE hInstance, LPVOID lpParam);
HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle,
                     int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                     HINSTANCE hInstance, LPVOID lpParam);
#define CreateWindowA(c, n, s, x, y, w, h, p, m, i, l) \
    CreateWindowExA(0L, c, n, s, x, y, w, h, p, m, i, l)
#define CreateWindowW(c, n, s, x, y, w, h, p, m, i, l) \
    CreateWindowExW(0L, c, n, s, x, y, w, h, p, m, i, l)

// Destroys a window of the calling thread: its owned windows first, then WM_DESTROY to the window
// and its children (parents first), then WM_NCDESTROY (children first); the handle is invalid
// afterwards and its posted messages are dropped. ERROR_ACCESS_DENIED for another thread's window.
BOOL DestroyWindow(HWND hWnd);
// TRUE while hWnd names a window of the current machine (any thread or process).
BOOL IsWindow(HWND hWnd);

// Default handling: WM_NCCREATE stores the CREATESTRUCT's name as the window text (TRUE),
// WM_SETTEXT / WM_GETTEXT / WM_GETTEXTLENGTH keep and answer the text, WM_CLOSE destroys the
// window; every other message gives 0.
LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

// Window longs: GWLP_WNDPROC, GWLP_HINSTANCE, GWLP_HWNDPARENT (the owner), GWLP_ID, GWL_STYLE,
// GWL_EXSTYLE, GWLP_USERDATA, and the cbWndExtra bytes at a non-negative offset (the value must
// fit: ERROR_INVALID_INDEX otherwise). Set returns the previous value and leaves the last error
// alone on success. Setting GWLP_WNDPROC through the A or W form decides how text messages reach
// the new procedure.
LONG_PTR GetWindowLongPtrA(HWND hWnd, int nIndex);
LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex);
LONG_PTR SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong);
LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong);
// 32-bit forms; pointer-sized slots (procedure, instance, owner) give ERROR_INVALID_INDEX.
LONG GetWindowLongA(HWND hWnd, int nIndex);
LONG GetWindowLongW(HWND hWnd, int nIndex);
LONG SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong);
LONG SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong);

// Sends WM_SETTEXT to the window (through its owner thread when that is another thread).
BOOL SetWindowTextA(HWND hWnd, LPCSTR lpString);
BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString);
// Copies at most nMaxCount-1 characters and a terminator; returns the characters copied. A window
// of the calling thread is asked with WM_GETTEXT, another thread's window answers its stored text.
int GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount);
int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount);
// The text's length in characters, asked and answered as GetWindowText does.
int GetWindowTextLengthA(HWND hWnd);
int GetWindowTextLengthW(HWND hWnd);

// A child window's parent, or a top-level window's owner; NULL for neither.
HWND GetParent(HWND hWnd);
// A child window's id (the hMenu it was created with); 0 for a top-level window.
int GetDlgCtrlID(HWND hWnd);

// Queues a message for the window's owning thread, or, for a NULL hWnd, a thread message for the
// caller. ERROR_INVALID_WINDOW_HANDLE for a bad window; ERROR_MESSAGE_SYNC_ONLY for the text
// and creation messages, whose pointers cannot outlive the call.
BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// Queues a thread message; ERROR_INVALID_THREAD_ID when that thread has no message queue on the
// current machine (it never used one, or it ended).
BOOL PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam);
// Calls the window procedure and returns its result: directly on the owning thread; from another
// thread the message waits in the owner's queue until the owner calls GetMessage or PeekMessage,
// and the sender, while it waits, still handles messages sent to its own windows. 0 with
// ERROR_INVALID_WINDOW_HANDLE for a bad window.
LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

// Handles every message sent to the thread's windows, then waits for a posted message that passes
// the filters (hWnd: that window and its children; (HWND)-1: thread messages only; a message
// range, or 0 and 0 for all). Returns 0 for WM_QUIT (whatever the filters), -1 with
// ERROR_INVALID_WINDOW_HANDLE for a bad hWnd filter or ERROR_NOACCESS without lpMsg.
BOOL GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
BOOL GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
// The same without waiting: FALSE when nothing passes; PM_REMOVE takes the message off the
// queue, PM_NOREMOVE leaves it.
BOOL PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
BOOL PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
// No keyboard exists on an emulated machine, so no character messages are made; key messages
// report TRUE (translated), every other message FALSE.
BOOL TranslateMessage(const MSG* lpMsg);
// Calls the procedure of the message's window (which must belong to the calling thread) and
// returns its result; a thread message gives 0.
LRESULT DispatchMessageA(const MSG* lpMsg);
LRESULT DispatchMessageW(const MSG* lpMsg);
// Makes the caller's next GetMessage answer WM_QUIT with nExitCode once no posted message waits.
void PostQuitMessage(int nExitCode);

// The machine's foreground window: the top-level window last brought to the foreground by the
// layer's window manager (pal::SetForeground) while it exists, otherwise the
// machine's shell window (class "Shell_TrayWnd" on a desktop, "HHTaskBar" on a device), owned by
// a thread of the machine's system process. Creating or showing a window does not change it.
HWND GetForegroundWindow();
// A relation of hWnd: GW_HWNDFIRST / GW_HWNDLAST / GW_HWNDNEXT / GW_HWNDPREV walk the window's
// siblings in Z order (top-level windows of the whole machine, newest or most recently brought
// forward first; children in creation order), GW_OWNER its owner, GW_CHILD its first child.
// NULL at either end; ERROR_INVALID_WINDOW_HANDLE for a bad window.
HWND GetWindow(HWND hWnd, UINT uCmd);
// Copies the class name (at most nMaxCount-1 characters and a terminator); returns its length.
int GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount);
int GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount);
// The owning thread's id, and the owning process's id through lpdwProcessId when given.
DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId);

#ifdef UNICODE
using WNDCLASS = WNDCLASSW;
using WNDCLASSEX = WNDCLASSEXW;
using CREATESTRUCT = CREATESTRUCTW;
using LPCREATESTRUCT = LPCREATESTRUCTW;
#define RegisterClass RegisterClassW
#define RegisterClassEx RegisterClassExW
#define CreateWindowEx CreateWindowExW
#define CreateWindow CreateWindowW
#define DefWindowProc DefWindowProcW
#define GetWindowLongPtr GetWindowLongPtrW
#define SetWindowLongPtr SetWindowLongPtrW
#define GetWindowLong GetWindowLongW
#define SetWindowLong SetWindowLongW
#define SetWindowText SetWindowTextW
#define GetWindowText GetWindowTextW
#define GetWindowTextLength GetWindowTextLengthW
#define PostMessage PostMessageW
#define PostThreadMessage PostThreadMessageW
#define SendMessage SendMessageW
#define GetMessage GetMessageW
#define PeekMessage PeekMessageW
#define DispatchMessage DispatchMessageW
#define GetClassName GetClassNameW
#else
using WNDCLASS = WNDCLASSA;
using WNDCLASSEX = WNDCLASSEXA;
using CREATESTRUCT = CREATESTRUCTA;
using LPCREATESTRUCT = LPCREATESTRUCTA;
#define RegisterClass RegisterClassA
#define RegisterClassEx RegisterClassExA
#define CreateWindowEx CreateWindowExA
#define CreateWindow CreateWindowA
#define DefWindowProc DefWindowProcA
#define GetWindowLongPtr GetWindowLongPtrA
#define SetWindowLongPtr SetWindowLongPtrA
#define GetWindowLong GetWindowLongA
#define SetWindowLong SetWindowLongA
#define SetWindowText SetWindowTextA
#define GetWindowText GetWindowTextA
#define GetWindowTextLength GetWindowTextLengthA
#define PostMessage PostMessageA
#define PostThreadMessage PostThreadMessageA
#define SendMessage SendMessageA
#define GetMessage GetMessageA
#define PeekMessage PeekMessageA
#define DispatchMessage DispatchMessageA
#define GetClassName GetClassNameA
#endif
