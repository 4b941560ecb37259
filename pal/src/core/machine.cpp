#include "pal/runtime/machine.h"

#include <chrono>
#include <fstream>
#include <sstream>

#include "pal/runtime/encoding.h"
#include "pal/runtime/process.h"
#include "pal/runtime/program.h"
#include "pal/runtime/thread.h"
#include "pal/runtime/world.h"

namespace pal {

namespace {

constexpr ULONGLONG kUnixEpochAsFileTime = 116444736000000000ULL;

ULONGLONG RealNowUtc() {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100;
    return kUnixEpochAsFileTime + static_cast<ULONGLONG>(ticks);
}

const char* ClockModeName(ClockMode mode) {
    switch (mode) {
        case ClockMode::Frozen: return "frozen";
        case ClockMode::Offset: return "offset";
        default: return "real";
    }
}

}  // namespace

MachineConfig DefaultDesktopConfig() {
    MachineConfig config;
    config.kind = MachineKind::Desktop;
    config.os = {5, 1, 2600, 2};
    config.environment = {{u"SystemRoot", u"C:\\Windows"},
                          {u"windir", u"C:\\Windows"},
                          {u"SystemDrive", u"C:"},
                          {u"ProgramFiles", u"C:\\Program Files"},
                          {u"CommonProgramFiles", u"C:\\Program Files\\Common Files"},
                          {u"USERPROFILE", u"C:\\Documents and Settings\\User"},
                          {u"APPDATA", u"C:\\Documents and Settings\\User\\Application Data"},
                          {u"TEMP", u"C:\\Windows\\Temp"},
                          {u"TMP", u"C:\\Windows\\Temp"}};
    return config;
}

MachineConfig DefaultDeviceConfig(DWORD osMajor, DWORD osMinor) {
    MachineConfig config;
    config.kind = MachineKind::Device;
    DWORD build = osMajor >= 6 ? 5000 : osMajor == 5 ? 1700 : 1088;
    config.os = {osMajor, osMinor, build, 3};
    return config;
}

Machine::Machine(std::string name, std::filesystem::path dir, MachineConfig config)
    : m_name(std::move(name)), m_dir(std::move(dir)), m_config(std::move(config)) {}

Machine::~Machine() { Shutdown(); }

std::filesystem::path Machine::RootDir() const { return m_dir / (IsDesktop() ? "c" : "root"); }

MachineConfig Machine::Config() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_config;
}

void Machine::SetConfig(const MachineConfig& config) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_config = config;
}

std::optional<std::u16string> Machine::GetEnvironment(std::u16string_view name) const {
    std::lock_guard<std::mutex> guard(m_lock);
    for (auto& [key, value] : m_config.environment)
        if (EqualsNoCase(key, name)) return value;
    return std::nullopt;
}

void Machine::SetEnvironment(std::u16string_view name, std::u16string_view value) {
    std::lock_guard<std::mutex> guard(m_lock);
    for (auto& entry : m_config.environment)
        if (EqualsNoCase(entry.first, name)) {
            entry.second = value;
            return;
        }
    m_config.environment.emplace_back(name, value);
}

ULONGLONG Machine::NowUtc() const {
    std::lock_guard<std::mutex> guard(m_lock);
    switch (m_config.clockMode) {
        case ClockMode::Frozen: return static_cast<ULONGLONG>(m_config.clockValue);
        case ClockMode::Offset: return RealNowUtc() + m_config.clockValue;
        default: return RealNowUtc();
    }
}

void Machine::FreezeClock(ULONGLONG fileTimeUtc) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_config.clockMode = ClockMode::Frozen;
    m_config.clockValue = static_cast<LONGLONG>(fileTimeUtc);
}

void Machine::OffsetClock(LONGLONG delta100ns) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_config.clockMode = ClockMode::Offset;
    m_config.clockValue = delta100ns;
}

void Machine::RealClock() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_config.clockMode = ClockMode::Real;
    m_config.clockValue = 0;
}

std::shared_ptr<Process> Machine::CreateProcess(std::u16string exePath) {
    std::lock_guard<std::mutex> guard(m_lock);
    DWORD id = m_nextProcessId;
    m_nextProcessId += 4;
    auto process = std::make_shared<Process>(*this, id, std::move(exePath));
    m_processes.emplace(id, process);
    return process;
}

std::shared_ptr<Process> Machine::SystemProcess() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_systemProcess) return m_systemProcess;
    }
    auto process = CreateProcess(IsDesktop() ? u"C:\\Windows\\System32\\host.exe"
                                             : u"\\Windows\\host.exe");
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_systemProcess) m_systemProcess = process;
    return m_systemProcess;
}

std::shared_ptr<Process> Machine::FindProcess(DWORD id) const {
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_processes.find(id);
    return it == m_processes.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<Process>> Machine::Processes() const {
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<std::shared_ptr<Process>> all;
    for (auto& entry : m_processes) all.push_back(entry.second);
    return all;
}

void Machine::RemoveProcess(DWORD id) {
    std::shared_ptr<Process> doomed;
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_processes.find(id);
    if (it == m_processes.end()) return;
    doomed = std::move(it->second);
    m_processes.erase(it);
}

void Machine::Flush() {
    SaveConfig();
    m_components.FlushAll();
}

void Machine::Shutdown() {
    if (m_shutDown) return;
    m_shutDown = true;
    // Threads still running in the machine get a bounded time to end before its state goes.
    JoinMachineThreads(*this, std::chrono::seconds(5));
    Flush();
    // Processes first: their modules and handles may still use machine components.
    std::map<DWORD, std::shared_ptr<Process>> processes;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        processes.swap(m_processes);
        m_systemProcess.reset();
    }
    // Each ends as a terminating process does: libraries detach while its handles are open.
    for (auto& entry : processes) EndProcess(*entry.second, 0);
    processes.clear();
    m_components.Clear();
}

void Machine::SaveConfig() const { SaveMachineConfig(m_dir, Config()); }

void SaveMachineConfig(const std::filesystem::path& machineDir, const MachineConfig& config) {
    std::ostringstream out;
    out << "kind=" << (config.kind == MachineKind::Desktop ? "desktop" : "device") << "\n";
    out << "os=" << config.os.major << "." << config.os.minor << "." << config.os.build << "\n";
    out << "platform=" << config.os.platformId << "\n";
    out << "codepage=" << config.codePage << "\n";
    out << "locale=" << config.locale << "\n";
    out << "clock=" << ClockModeName(config.clockMode) << "\n";
    out << "clockvalue=" << config.clockValue << "\n";
    out << "tzbias=" << config.timeZoneBias << "\n";
    for (auto& [name, value] : config.environment)
        out << "env." << Utf16ToUtf8(name) << "=" << Utf16ToUtf8(value) << "\n";
    auto target = machineDir / "machine.ini";
    auto temp = machineDir / "machine.ini.tmp";
    {
        std::ofstream file(temp, std::ios::binary | std::ios::trunc);
        file << out.str();
        if (!file) throw WorldError("cannot write " + temp.string());
    }
    std::filesystem::rename(temp, target);
}

MachineConfig LoadMachineConfig(const std::filesystem::path& machineDir) {
    auto path = machineDir / "machine.ini";
    std::ifstream file(path, std::ios::binary);
    if (!file) throw WorldError("missing machine configuration " + path.string());
    MachineConfig config;
    bool sawKind = false;
    std::string line;
    int lineNo = 0;
    while (std::getline(file, line)) {
        ++lineNo;
        if (line.empty()) continue;
        auto eq = line.find('=');
        if (eq == std::string::npos)
            throw WorldError(path.string() + ":" + std::to_string(lineNo) + ": expected key=value");
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        try {
            if (key == "kind") {
                if (value != "desktop" && value != "device") throw WorldError("bad kind");
                config.kind = value == "desktop" ? MachineKind::Desktop : MachineKind::Device;
                sawKind = true;
            } else if (key == "os") {
                unsigned a = 0, b = 0, c = 0;
                if (std::sscanf(value.c_str(), "%u.%u.%u", &a, &b, &c) != 3)
                    throw WorldError("bad os version");
                config.os.major = a, config.os.minor = b, config.os.build = c;
            } else if (key == "platform") {
                config.os.platformId = static_cast<DWORD>(std::stoul(value));
            } else if (key == "codepage") {
                config.codePage = static_cast<UINT>(std::stoul(value));
            } else if (key == "locale") {
                config.locale = static_cast<LCID>(std::stoul(value));
            } else if (key == "clock") {
                config.clockMode = value == "frozen"   ? ClockMode::Frozen
                                   : value == "offset" ? ClockMode::Offset
                                                       : ClockMode::Real;
            } else if (key == "clockvalue") {
                config.clockValue = std::stoll(value);
            } else if (key == "tzbias") {
                config.timeZoneBias = static_cast<LONG>(std::stol(value));
            } else if (key.rfind("env.", 0) == 0) {
                config.environment.emplace_back(Utf8ToUtf16(key.substr(4)), Utf8ToUtf16(value));
            }
        } catch (const std::exception&) {
            throw WorldError(path.string() + ":" + std::to_string(lineNo) + ": bad value for " +
                             key);
        }
    }
    if (!sawKind) throw WorldError(path.string() + ": no machine kind");
    return config;
}

}  // namespace pal
