#include "engine_state.h"

#include <fstream>
#include <string>

namespace activesync {

namespace {
const char kStateFile[] = "activesync.state";
}

EngineState::EngineState(pal::Machine& desktop) : m_desktop(desktop) {
    std::ifstream file(desktop.Dir() / kStateFile);
    std::string line;
    while (std::getline(file, line)) {
        auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        DWORD value = static_cast<DWORD>(std::strtoul(line.c_str() + equals + 1, nullptr, 10));
        std::string name = line.substr(0, equals);
        if (name == "connected") m_connected = value;
        if (name == "selected") m_selected = value;
    }
}

void EngineState::Flush() {
    std::lock_guard<std::mutex> guard(m_lock);
    auto path = m_desktop.Dir() / kStateFile;
    auto temporary = path;
    temporary += ".tmp";
    {
        std::ofstream file(temporary, std::ios::trunc);
        file << "connected=" << m_connected << "\nselected=" << m_selected << "\n";
        if (!file) return;
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
}

DWORD EngineState::Connected() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_connected;
}

DWORD EngineState::Selected() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_selected;
}

void EngineState::SetConnected(DWORD id) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_connected = id;
    }
    Flush();
}

void EngineState::SetSelected(DWORD id) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_selected = id;
    }
    Flush();
}

}  // namespace activesync
