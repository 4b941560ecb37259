#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "pal/handleapi.h"
#include "pal/processes.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal/runtime/thread.h"
#include "process_origin.h"

namespace {

// The priority base a process of the normal class reports.
constexpr LONG kNormalPriorityBase = 8;

struct ProcessRecord {
    DWORD id;
    DWORD parentId;
    DWORD threads;
    std::u16string exePath;
};

// The processes of a machine as they were when the snapshot was taken, and how far a walk
// through them has come.
class ProcessSnapshot : public pal::KernelObject {
public:
    explicit ProcessSnapshot(std::vector<ProcessRecord> records) : m_records(std::move(records)) {}

    // The record at the walk's start (first) or after the last one given; null at the end.
    const ProcessRecord* Take(bool first) {
        std::lock_guard<std::mutex> guard(m_lock);
        if (first) m_next = 0;
        if (m_next >= m_records.size()) return nullptr;
        return &m_records[m_next++];
    }

private:
    const std::vector<ProcessRecord> m_records;
    std::mutex m_lock;
    size_t m_next = 0;
};

ProcessRecord RecordOf(pal::Process& process) {
    auto* origin = process.Find<pal::ProcessOrigin>();
    // A process is running on at least the thread that made it, even one the layer did not start.
    DWORD threads = std::max<DWORD>(1, pal::RunningThreadCount(process));
    return {process.Id(), origin ? origin->parentId.load() : 0, threads, process.ExePath()};
}

BOOL WalkSnapshot(HANDLE hSnapshot, LPPROCESSENTRY32W lppe, bool first) {
    auto snapshot = pal::CurrentProcess().Handles().GetAs<ProcessSnapshot>(hSnapshot);
    if (!snapshot) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lppe) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (lppe->dwSize < sizeof(PROCESSENTRY32W)) {
        SetLastError(ERROR_BAD_LENGTH);
        return FALSE;
    }
    const ProcessRecord* record = snapshot->Take(first);
    if (!record) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    DWORD size = lppe->dwSize;
    *lppe = PROCESSENTRY32W{};
    lppe->dwSize = size;
    lppe->th32ProcessID = record->id;
    lppe->th32ParentProcessID = record->parentId;
    lppe->cntThreads = record->threads;
    lppe->pcPriClassBase = kNormalPriorityBase;
    size_t length = std::min<size_t>(record->exePath.size(), MAX_PATH - 1);
    std::copy_n(record->exePath.begin(), length, lppe->szExeFile);
    lppe->szExeFile[length] = 0;
    return TRUE;
}

}  // namespace

HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD) {
    if (!(dwFlags & TH32CS_SNAPPROCESS) || (dwFlags & ~(TH32CS_SNAPPROCESS | TH32CS_SNAPNOHEAPS))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // The caller's process first: it is running, and must be listed even if nothing made it yet.
    pal::Process& caller = pal::CurrentProcess();
    std::vector<ProcessRecord> records;
    for (auto& process : caller.GetMachine().Processes()) records.push_back(RecordOf(*process));
    return caller.Handles().Add(std::make_shared<ProcessSnapshot>(std::move(records)));
}

BOOL Process32FirstW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe) {
    return WalkSnapshot(hSnapshot, lppe, true);
}

BOOL Process32NextW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe) {
    return WalkSnapshot(hSnapshot, lppe, false);
}

BOOL CloseToolhelp32Snapshot(HANDLE hSnapshot) {
    if (!pal::CurrentProcess().Handles().GetAs<ProcessSnapshot>(hSnapshot)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return CloseHandle(hSnapshot);
}
