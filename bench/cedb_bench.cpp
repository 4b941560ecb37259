// Property-database reads at scale: reading every record in turn (CEOID order and a sort order)
// and seeking by value, over databases of 10,000 and 100,000 records.
#include <benchmark/benchmark.h>
#include <cedb.h>

#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "device_world.h"

namespace {

constexpr CEPROPID kNumber = 0x80010013;  // CEVT_UI4, the sort order
constexpr ULONG kStride = 7919;           // a prime: i * kStride % n visits every value once

// A device world whose object store holds, per size asked for, a database of that many records,
// each with a distinct number, written in an order unlike the numbers' order. Built once per size
// and shared by every benchmark of the run.
class NumberedDatabases {
public:
    NumberedDatabases() { CREATE_SYSTEMGUID(&m_guid); }

    // An open handle on the database of `records` records, building it on first use.
    HANDLE Open(ULONG records, CEPROPID sort, DWORD flags) {
        auto [it, created] = m_databases.try_emplace(records, 0);
        if (created) it->second = Build(records);
        CEOID oid = it->second;
        HANDLE db = CeOpenDatabaseEx(&m_guid, &oid, nullptr, sort, flags, nullptr);
        if (db == INVALID_HANDLE_VALUE) throw std::runtime_error("open failed");
        return db;
    }

private:
    CEOID Build(ULONG records) {
        CEDBASEINFO info{};
        info.dwFlags = CEDB_VALIDNAME | CEDB_VALIDSORTSPEC;
        std::string name = "n" + std::to_string(records);
        std::copy(name.begin(), name.end(), info.szDbaseName);
        info.wNumSortOrder = 1;
        info.rgSortSpecs[0].propid = kNumber;
        CEOID oid = CeCreateDatabaseEx(&m_guid, &info);
        HANDLE db = CeOpenDatabaseEx(&m_guid, &oid, nullptr, 0, 0, nullptr);
        for (ULONG i = 0; i < records; ++i) {
            CEPROPVAL value{};
            value.propid = kNumber;
            value.val.ulVal = i * kStride % records;
            if (!CeWriteRecordProps(db, 0, 1, &value)) throw std::runtime_error("write failed");
        }
        CloseHandle(db);
        return oid;
    }

    BenchDeviceWorld m_device;
    CEGUID m_guid{};
    std::map<ULONG, CEOID> m_databases;
};

std::unique_ptr<NumberedDatabases> g_databases;

// Reads every record from the first to the last with an auto-increment handle, as listing a
// journal does: one property into a fixed buffer.
void ReadEveryRecord(benchmark::State& state, CEPROPID sort) {
    const auto records = static_cast<ULONG>(state.range(0));
    HANDLE db = g_databases->Open(records, sort, CEDB_AUTOINCREMENT);
    ULONG read = 0;
    for (auto _ : state) {
        CeSeekDatabase(db, CEDB_SEEK_BEGINNING, 0, nullptr);
        CEPROPVAL value{};
        CEPROPID column = kNumber;
        read = 0;
        for (;;) {
            WORD columns = 1;
            LPBYTE buffer = reinterpret_cast<LPBYTE>(&value);
            DWORD size = sizeof(value);
            if (!CeReadRecordPropsEx(db, 0, &columns, &column, &buffer, &size, nullptr)) break;
            ++read;
        }
    }
    CloseHandle(db);
    if (read != records) state.SkipWithError("not every record was read");
    state.counters["records/s"] = benchmark::Counter(static_cast<double>(records),
                                                     benchmark::Counter::kIsIterationInvariantRate);
}

void ReadInCeoidOrder(benchmark::State& state) { ReadEveryRecord(state, 0); }
void ReadInSortOrder(benchmark::State& state) { ReadEveryRecord(state, kNumber); }

// One value seek on the sort order per iteration, for numbers spread over the database.
void SeekByValue(benchmark::State& state) {
    const auto records = static_cast<ULONG>(state.range(0));
    HANDLE db = g_databases->Open(records, kNumber, 0);
    ULONG next = 0;
    for (auto _ : state) {
        CEPROPVAL wanted{};
        wanted.propid = kNumber;
        wanted.val.ulVal = next;
        next = (next + kStride) % records;
        CEOID found = CeSeekDatabase(db, CEDB_SEEK_VALUEFIRSTEQUAL,
                                     reinterpret_cast<DWORD_PTR>(&wanted), nullptr);
        if (!found) {
            state.SkipWithError("seek failed");
            break;
        }
        benchmark::DoNotOptimize(found);
    }
    CloseHandle(db);
}

BENCHMARK(ReadInCeoidOrder)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadInSortOrder)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(SeekByValue)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

// The shared databases live for the run and go (with their world) before the library shuts down.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    g_databases = std::make_unique<NumberedDatabases>();
    benchmark::RunSpecifiedBenchmarks();
    g_databases.reset();
    benchmark::Shutdown();
    return 0;
}
