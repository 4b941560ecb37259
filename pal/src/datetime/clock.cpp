#include <time.h>

#include "calendar.h"
#include "pal/datetime.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "uptime.h"

namespace pal {

namespace {

ULONGLONG HostUptime() {
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<ULONGLONG>(now.tv_sec) * 10'000'000ULL +
           static_cast<ULONGLONG>(now.tv_nsec) / 100;
}

}  // namespace

Uptime::Uptime(Machine& machine)
    : m_machine(machine), m_lastClock(machine.NowUtc()), m_elapsed(HostUptime()) {}

ULONGLONG Uptime::Now() {
    std::lock_guard<std::mutex> guard(m_lock);
    ULONGLONG clock = m_machine.NowUtc();
    if (clock > m_lastClock) m_elapsed += clock - m_lastClock;
    m_lastClock = clock;
    return m_elapsed;
}

}  // namespace pal

namespace {

constexpr std::int64_t kMaxTicks = 0x7FFFFFFFFFFFFFFF;

std::uint64_t LocalTicks() {
    pal::Machine& machine = pal::CurrentMachine();
    const auto utc = static_cast<std::int64_t>(machine.NowUtc());
    const std::int64_t bias =
        std::int64_t{machine.Config().timeZoneBias} * 60 * pal::calendar::kTicksPerSecond;
    if (bias > 0 && utc < bias) return 0;
    if (bias < 0 && utc > kMaxTicks + bias) return kMaxTicks;
    return static_cast<std::uint64_t>(utc - bias);
}

}  // namespace

void GetSystemTime(LPSYSTEMTIME lpSystemTime) {
    *lpSystemTime = pal::calendar::FieldsFromTicks(pal::CurrentMachine().NowUtc());
}

void GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    *lpSystemTime = pal::calendar::FieldsFromTicks(LocalTicks());
}

void GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime) {
    *lpSystemTimeAsFileTime = pal::calendar::FromTicks(pal::CurrentMachine().NowUtc());
}

HRESULT CoFileTimeNow(FILETIME* lpFileTime) {
    if (!lpFileTime) return E_INVALIDARG;
    GetSystemTimeAsFileTime(lpFileTime);
    return S_OK;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount) {
    lpPerformanceCount->QuadPart =
        static_cast<LONGLONG>(pal::CurrentMachine().Get<pal::Uptime>().Now());
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency) {
    lpFrequency->QuadPart = pal::calendar::kTicksPerSecond;
    return TRUE;
}

DWORD GetTickCount() {
    return static_cast<DWORD>(pal::CurrentMachine().Get<pal::Uptime>().Now() / 10'000);
}
