// The desktop trace log: one plain-text file per host process, named after the host executable
// ("host.exe" logs to "host_log.txt"), recreated empty by the first trace call of every run.
// Every line carries the local time, the performance counter, the thread id and the calling
// thread's scope depth as indentation. All failures are silent: tracing never fails its caller.
#pragma once

#include <windows.h>

class CSTLogFile {
public:
    // The process's one log, created on first use and opened whenever it is not open.
    static CSTLogFile* Instance();
    // Closes and destroys the log; the provider calls it when it leaves the process. The next
    // trace call starts a new log.
    static void Destroy();

    // Formats one line printf-style; a message longer than 1023 characters is dropped. The
    // compiler checks every format against its arguments.
    void Line(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Nesting depth of the calling thread, 0 to 100.
    DWORD Depth();
    void SetDepth(DWORD depth);

    virtual ~CSTLogFile();

private:
    CSTLogFile();
    CSTLogFile(const CSTLogFile&) = delete;
    CSTLogFile& operator=(const CSTLogFile&) = delete;

    void Open();
    void Close();
    void WriteLine(const char* text);

    HANDLE m_file = INVALID_HANDLE_VALUE;
    CRITICAL_SECTION m_lock;
    DWORD m_open = 0;
    DWORD m_depthSlot = TLS_OUT_OF_INDEXES;
};

// A trace scope: ">>[name]" on entry and "<<[name]" on exit at the same indentation, with the
// calling thread's depth one higher (at most 100) in between. `name` must outlive the scope.
class CSTLogScope {
public:
    explicit CSTLogScope(const char* name);
    ~CSTLogScope();
    CSTLogScope(const CSTLogScope&) = delete;
    CSTLogScope& operator=(const CSTLogScope&) = delete;

private:
    const char* m_name;
};

// Writes one free-form line to the desktop log.
#define ST_LOG(...) CSTLogFile::Instance()->Line(__VA_ARGS__)
