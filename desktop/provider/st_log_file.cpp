#include "st_log_file.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

constexpr DWORD kMaxDepth = 100;
constexpr int kLineSize = 1024;
constexpr int kStampSize = 400;

std::atomic<CSTLogFile*> g_instance{nullptr};
// Guards creation and destruction of the instance only; lines are serialised by its own lock.
std::mutex g_instanceLock;

// The log file of the running executable: its path with the file name's extension (from the
// last ".") replaced by "_log.txt"; a name without extension gets "_log.txt" appended.
void BuildLogPath(char (&path)[MAX_PATH]) {
    char exe[MAX_PATH] = {};
    // The executable of the current process (not this library), in the ANSI code page.
    DWORD length = GetModuleFileNameA(nullptr, exe, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        path[0] = '\0';
        return;
    }
    char* name = std::strrchr(exe, '\\');
    char* dot = std::strrchr(name ? name : exe, '.');
    if (dot) *dot = '\0';
    int written = std::snprintf(path, MAX_PATH, "%s_log.txt", exe);
    if (written < 0 || written >= MAX_PATH) path[0] = '\0';
}

}  // namespace

CSTLogFile* CSTLogFile::Instance() {
    CSTLogFile* log = g_instance.load();
    if (!log) {
        std::lock_guard<std::mutex> guard(g_instanceLock);
        log = g_instance.load();
        if (!log) {
            log = new CSTLogFile();
            g_instance.store(log);
        }
    }
    log->Open();
    return log;
}

void CSTLogFile::Destroy() {
    std::lock_guard<std::mutex> guard(g_instanceLock);
    delete g_instance.exchange(nullptr);
}

CSTLogFile::CSTLogFile() {
    // One recursive lock serialises opening, closing and every line.
    InitializeCriticalSection(&m_lock);
    // Per-thread nesting depth; every thread starts at 0 (a null slot value).
    m_depthSlot = TlsAlloc();
}

CSTLogFile::~CSTLogFile() {
    Close();
    DeleteCriticalSection(&m_lock);
    if (m_depthSlot != TLS_OUT_OF_INDEXES) TlsFree(m_depthSlot);
}

DWORD CSTLogFile::Depth() {
    if (m_depthSlot == TLS_OUT_OF_INDEXES) return 0;
    // The calling thread's value at our slot (null, that is 0, until it was set).
    return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(TlsGetValue(m_depthSlot)));
}

void CSTLogFile::SetDepth(DWORD depth) {
    if (m_depthSlot == TLS_OUT_OF_INDEXES) return;
    TlsSetValue(m_depthSlot, reinterpret_cast<LPVOID>(static_cast<UINT_PTR>(depth)));
}

void CSTLogFile::Open() {
    EnterCriticalSection(&m_lock);
    if (m_open) {
        LeaveCriticalSection(&m_lock);
        return;
    }
    SetDepth(0);
    char path[MAX_PATH];
    BuildLogPath(path);
    if (path[0]) {
        // A run never appends to an earlier run's log.
        DeleteFileA(path);
        // Shared for reading and writing, so that the log can be read while the host runs.
        m_file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (path[0] && m_file != INVALID_HANDLE_VALUE) {
        // Lines go after whatever the file holds.
        SetFilePointer(m_file, 0, nullptr, FILE_END);
        m_open = 1;
        SYSTEMTIME now;
        // Local wall-clock time of the header.
        GetLocalTime(&now);
        char exe[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, exe, MAX_PATH);
        char header[kLineSize];
        std::snprintf(header, sizeof header,
                      "Log is started on %02u.%02u.%04u, at %02u:%02u:%02u:%03u, executable: %s "
                      "(ProcID: 0x%08x), compile time : %s %s",
                      now.wDay, now.wMonth, now.wYear, now.wHour, now.wMinute, now.wSecond,
                      now.wMilliseconds, exe, GetCurrentProcessId(), __DATE__, __TIME__);
        WriteLine("=============================================");
        WriteLine(header);
    } else {
        m_file = INVALID_HANDLE_VALUE;
    }
    LeaveCriticalSection(&m_lock);
}

void CSTLogFile::Close() {
    EnterCriticalSection(&m_lock);
    if (m_open) {
        WriteLine("Log finished");
        CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
        m_open = 0;
    }
    LeaveCriticalSection(&m_lock);
}

void CSTLogFile::Line(const char* format, ...) {
    char message[kLineSize];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    if (length < 0 || length >= kLineSize) return;
    WriteLine(message);
}

void CSTLogFile::WriteLine(const char* text) {
    EnterCriticalSection(&m_lock);
    if (!m_open) {
        LeaveCriticalSection(&m_lock);
        return;
    }
    SYSTEMTIME now;
    // Local time of the line, to the second.
    GetLocalTime(&now);
    LARGE_INTEGER counter;
    // The raw high-resolution counter, which orders lines finer than the clock.
    QueryPerformanceCounter(&counter);
    char stamp[kStampSize];
    std::snprintf(stamp, sizeof stamp, "%02u:%02u:%02u(%lld)", now.wHour, now.wMinute, now.wSecond,
                  static_cast<long long>(counter.QuadPart));

    static const char kSpaces[kMaxDepth + 1] =
        "                                                  "
        "                                                  ";
    DWORD depth = Depth();
    if (depth > kMaxDepth) depth = kMaxDepth;
    const char* indent = kSpaces + (kMaxDepth - depth);

    char line[kLineSize];
    int length = std::snprintf(line, sizeof line, "%s,thr 0x%08X : %s%s\r\n", stamp,
                               static_cast<unsigned>(GetCurrentThreadId()), indent, text);
    if (length >= 0 && length < kLineSize) {
        // Always at the end, even when another program wrote to the file meanwhile.
        SetFilePointer(m_file, 0, nullptr, FILE_END);
        DWORD written = 0;
        WriteFile(m_file, line, static_cast<DWORD>(length), &written, nullptr);
        // A short write leaves what was written on its way to the disk.
        if (written < static_cast<DWORD>(length)) FlushFileBuffers(m_file);
    }
    LeaveCriticalSection(&m_lock);
}

CSTLogScope::CSTLogScope(const char* name) : m_name(name) {
    CSTLogFile* log = CSTLogFile::Instance();
    log->Line(">>[%s]", m_name);
    DWORD depth = log->Depth();
    if (depth < kMaxDepth) log->SetDepth(depth + 1);
}

CSTLogScope::~CSTLogScope() {
    CSTLogFile* log = CSTLogFile::Instance();
    DWORD depth = log->Depth();
    if (depth > 0) log->SetDepth(depth - 1);
    log->Line("<<[%s]", m_name);
}
