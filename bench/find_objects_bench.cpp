// FindObjects over a mail journal of 10,000 and 100,000 records, every other one changed for
// partnership 1: one listing per iteration, list freed as the frame frees it.
#include <benchmark/benchmark.h>

#include "ce_db.h"
#include "device_world.h"
#include "journal.h"
#include "journal_operations.h"

namespace {

// A device world holding a mounted journal volume with a filled mail journal.
struct JournalWorld {
    explicit JournalWorld(UINT records) {
        volume.Mount(KESTRIN_VOLUME_PATH, OPEN_ALWAYS);
        CEOID oid = 0;
        CreateDatabase(MAIL_JOURNAL_NAME, JOURNAL_DB_TYPE, &oid, 0, nullptr, volume.Guid());
        CCeDB db;
        db.Open(nullptr, oid, nullptr, 0, 0, volume.Guid());
        for (UINT i = 0; i < records; ++i) {
            CEPROPVAL value{};
            value.propid = PROPID_CHANGE_STATE;
            value.val.uiVal = static_cast<USHORT>(i % 2 ? 3 : 0);
            CeWriteRecordProps(db.Handle(), 0, 1, &value);
        }
    }
    ~JournalWorld() { volume.Unmount(); }
    BenchDeviceWorld device;
    CCeDBVolume volume;
};

void FindObjectsOverJournal(benchmark::State& state) {
    const auto records = static_cast<UINT>(state.range(0));
    JournalWorld journal(records);
    UINT listed = 0;
    for (auto _ : state) {
        FINDOBJINFO info{};
        if (ListJournalObjects(kMailJournal, journal.volume, 1, &info) != S_OK) {
            state.SkipWithError("FindObjects failed");
            break;
        }
        listed = info.cUnChg + info.cChg;
        benchmark::DoNotOptimize(info.poid);
        LocalFree(info.poid);
    }
    if (listed != records) state.SkipWithError("not every record was listed");
    state.counters["records"] = records;
    state.counters["records/s"] = benchmark::Counter(static_cast<double>(records),
                                                     benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(FindObjectsOverJournal)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
