// Thread-local storage indexes. Indexes belong to a process; values belong to a thread. Each
// allocation of an index gets a serial number unique in the run, and a thread's value is kept
// under that serial, so a freed and reallocated index starts null in every thread.

#include <atomic>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "pal/runtime/components.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal/threads.h"

namespace pal {

namespace {

std::atomic<ULONGLONG> g_nextSerial{1};

thread_local std::unordered_map<ULONGLONG, LPVOID> t_values;

// The TLS indexes of one process: 1088 on the desktop (64 plus the expansion slots), 64 on the
// device.
class TlsIndexes : public Component {
public:
    explicit TlsIndexes(Process& process)
        : m_serials(process.GetMachine().IsDesktop() ? 1088 : 64, 0) {}

    DWORD Allocate() {
        std::lock_guard<std::mutex> guard(m_lock);
        for (DWORD index = 0; index < m_serials.size(); ++index)
            if (m_serials[index] == 0) {
                m_serials[index] = g_nextSerial.fetch_add(1);
                return index;
            }
        return TLS_OUT_OF_INDEXES;
    }
    // The serial of an allocated index, 0 for an index that is not allocated.
    ULONGLONG Serial(DWORD index) {
        std::lock_guard<std::mutex> guard(m_lock);
        return index < m_serials.size() ? m_serials[index] : 0;
    }
    bool Free(DWORD index) {
        std::lock_guard<std::mutex> guard(m_lock);
        if (index >= m_serials.size() || m_serials[index] == 0) return false;
        m_serials[index] = 0;
        return true;
    }

private:
    std::mutex m_lock;
    std::vector<ULONGLONG> m_serials;  // 0: free
};

// The current process's indexes, or null on a thread with no machine (a process-exit handler
// that runs after its world has closed).
TlsIndexes* CurrentIndexes() {
    if (!TryCurrentMachine()) return nullptr;
    return &CurrentProcess().Get<TlsIndexes>();
}

ULONGLONG SerialOrFail(DWORD index) {
    TlsIndexes* indexes = CurrentIndexes();
    ULONGLONG serial = indexes ? indexes->Serial(index) : 0;
    if (serial == 0) SetLastError(ERROR_INVALID_PARAMETER);
    return serial;
}

}  // namespace

}  // namespace pal

DWORD TlsAlloc() {
    DWORD index = pal::CurrentProcess().Get<pal::TlsIndexes>().Allocate();
    if (index == TLS_OUT_OF_INDEXES) SetLastError(ERROR_NO_MORE_ITEMS);
    return index;
}

LPVOID TlsGetValue(DWORD dwTlsIndex) {
    ULONGLONG serial = pal::SerialOrFail(dwTlsIndex);
    if (serial == 0) return nullptr;
    SetLastError(ERROR_SUCCESS);
    auto it = pal::t_values.find(serial);
    return it == pal::t_values.end() ? nullptr : it->second;
}

BOOL TlsSetValue(DWORD dwTlsIndex, LPVOID lpTlsValue) {
    ULONGLONG serial = pal::SerialOrFail(dwTlsIndex);
    if (serial == 0) return FALSE;
    pal::t_values[serial] = lpTlsValue;
    return TRUE;
}

BOOL TlsFree(DWORD dwTlsIndex) {
    pal::TlsIndexes* indexes = pal::CurrentIndexes();
    if (!indexes || !indexes->Free(dwTlsIndex)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
