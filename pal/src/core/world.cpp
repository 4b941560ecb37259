#include "pal/runtime/world.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "pal/runtime/machine_stores.h"

namespace pal {

namespace fs = std::filesystem;

namespace {

constexpr const char* kWorldFile = "world.ini";
constexpr const char* kLockFile = "world.lock";

int LockWorld(const fs::path& dir) {
    auto path = dir / kLockFile;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) throw WorldError("cannot open lock file " + path.string());
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        throw WorldError("world " + dir.string() + " is open in another process");
    }
    return fd;
}

void MakeFolders(const fs::path& root, std::initializer_list<const char*> folders) {
    for (const char* folder : folders) fs::create_directories(root / folder);
}

void MakeLayout(Machine& machine) {
    if (machine.IsDesktop())
        MakeFolders(machine.RootDir(),
                    {"Windows/System32", "Windows/Temp", "Program Files/Common Files",
                     "Documents and Settings/User/Application Data"});
    else
        MakeFolders(machine.RootDir(), {"Windows", "Temp", "My Documents", "Program Files"});
}

}  // namespace

World::World(fs::path dir, int lockFd) : m_dir(std::move(dir)), m_lockFd(lockFd) {}

World::~World() { Close(); }

bool World::Exists(const fs::path& dir) { return fs::is_regular_file(dir / kWorldFile); }

std::unique_ptr<World> World::Create(const fs::path& dir, const WorldOptions& options) {
    if (Exists(dir)) throw WorldError("a world already exists in " + dir.string());
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) throw WorldError("cannot create " + dir.string() + ": " + ec.message());
    std::unique_ptr<World> world(new World(fs::absolute(dir), LockWorld(dir)));
    // Asked again under the lock: of two creations racing past the first test, the one that
    // locks second finds the world the other made.
    if (Exists(dir)) throw WorldError("a world already exists in " + dir.string());
    {
        std::ofstream file(dir / kWorldFile);
        file << "format=1\n";
        if (!file) throw WorldError("cannot write " + (dir / kWorldFile).string());
    }
    world->AddMachine("desktop", DefaultDesktopConfig());
    world->AddMachine("device", DefaultDeviceConfig(options.deviceOsMajor, options.deviceOsMinor));
    world->Flush();
    return world;
}

std::unique_ptr<World> World::Open(const fs::path& dir) {
    if (!Exists(dir)) throw WorldError("no world in " + dir.string());
    std::unique_ptr<World> world(new World(fs::absolute(dir), LockWorld(dir)));
    std::vector<std::string> names;
    for (auto& entry : fs::directory_iterator(dir))
        if (entry.is_directory() && fs::exists(entry.path() / "machine.ini"))
            names.push_back(entry.path().filename().string());
    // The desktop first, then the device, then any further machines by name.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        auto rank = [](const std::string& n) { return n == "desktop" ? 0 : n == "device" ? 1 : 2; };
        return rank(a) != rank(b) ? rank(a) < rank(b) : a < b;
    });
    for (auto& name : names)
        world->m_machines.push_back(
            std::make_unique<Machine>(name, world->m_dir / name, LoadMachineConfig(dir / name)));
    if (!world->Find("desktop") || !world->Find("device"))
        throw WorldError("world " + dir.string() + " lacks its desktop or device machine");
    // A store lost since it was made is reported now, before anything could make it again.
    for (auto& machine : world->m_machines) CheckRecordedStores(*machine);
    return world;
}

Machine* World::Find(const std::string& name) {
    for (auto& machine : m_machines)
        if (machine->Name() == name) return machine.get();
    return nullptr;
}

std::vector<Machine*> World::Machines() {
    std::vector<Machine*> all;
    for (auto& machine : m_machines) all.push_back(machine.get());
    return all;
}

Machine& World::AddDesktop(const std::string& name) {
    if (Find(name)) throw WorldError("machine " + name + " already exists");
    Machine& machine = AddMachine(name, DefaultDesktopConfig());
    machine.Flush();
    return machine;
}

Machine& World::AddMachine(const std::string& name, const MachineConfig& config) {
    fs::create_directories(m_dir / name);
    m_machines.push_back(std::make_unique<Machine>(name, m_dir / name, config));
    Machine& machine = *m_machines.back();
    MakeLayout(machine);
    return machine;
}

void World::Flush() {
    for (auto& machine : m_machines) machine->Flush();
}

void World::Close() {
    if (m_lockFd < 0) return;
    // Newest machine first; each saves before it goes.
    while (!m_machines.empty()) {
        m_machines.back()->Shutdown();
        m_machines.pop_back();
    }
    ::close(m_lockFd);
    m_lockFd = -1;
}

}  // namespace pal
