#include "pal/runtime/machine_stores.h"

#include <algorithm>
#include <fstream>
#include <mutex>
#include <vector>

#include "pal/runtime/world.h"

namespace pal {

namespace {

constexpr const char* kStoreList = "stores.list";

// Guards every machine's list; stores are made rarely.
std::mutex g_listLock;

std::vector<std::string> ReadList(const Machine& machine) {
    std::vector<std::string> names;
    std::ifstream in(machine.Dir() / kStoreList);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) names.push_back(line);
    return names;
}

bool Listed(const Machine& machine, const std::string& fileName) {
    auto names = ReadList(machine);
    return std::find(names.begin(), names.end(), fileName) != names.end();
}

}  // namespace

bool CheckStore(const Machine& machine, const std::string& fileName) {
    auto file = machine.Dir() / fileName;
    std::error_code ec;
    auto status = std::filesystem::status(file, ec);
    if (std::filesystem::exists(status)) {
        if (std::filesystem::is_regular_file(status) && std::filesystem::file_size(file, ec) == 0)
            throw WorldError("damaged world: " + file.string() + " is empty");
        return true;
    }
    std::lock_guard<std::mutex> guard(g_listLock);
    if (Listed(machine, fileName))
        throw WorldError("damaged world: " + file.string() + " is missing");
    return false;
}

void RecordStore(const Machine& machine, const std::string& fileName) {
    std::lock_guard<std::mutex> guard(g_listLock);
    if (Listed(machine, fileName)) return;
    auto list = machine.Dir() / kStoreList;
    std::ofstream out(list, std::ios::app);
    out << fileName << "\n";
    out.flush();
    if (!out) throw WorldError("cannot write " + list.string());
}

void CheckRecordedStores(const Machine& machine) {
    std::vector<std::string> names;
    {
        std::lock_guard<std::mutex> guard(g_listLock);
        names = ReadList(machine);
    }
    for (auto& name : names) CheckStore(machine, name);
}

}  // namespace pal
