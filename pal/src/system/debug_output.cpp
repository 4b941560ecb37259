#include "pal/runtime/debug_output.h"

#include <cstdio>
#include <cstdlib>

#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/system.h"

namespace pal {

DebugOutput::DebugOutput(Machine& machine) : m_machine(machine) {}

void DebugOutput::Write(std::u16string_view text) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_records.emplace_back(text);
    }
    if (std::getenv("VELUMEX_DEBUG_OUTPUT")) {
        std::string line = "[" + m_machine.Name() + "] " + Utf16ToUtf8(text);
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    }
}

std::vector<std::u16string> DebugOutput::Records() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_records;
}

std::u16string DebugOutput::Text() const {
    std::lock_guard<std::mutex> guard(m_lock);
    std::u16string all;
    for (const auto& record : m_records) all += record;
    return all;
}

void DebugOutput::Clear() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_records.clear();
}

}  // namespace pal

void OutputDebugStringA(LPCSTR lpOutputString) {
    if (!lpOutputString) return;
    pal::CurrentMachine().Get<pal::DebugOutput>().Write(pal::Cp1252ToUtf16(lpOutputString));
}

void OutputDebugStringW(LPCWSTR lpOutputString) {
    if (!lpOutputString) return;
    pal::CurrentMachine().Get<pal::DebugOutput>().Write(lpOutputString);
}
