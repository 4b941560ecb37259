// The machine component behind the address book: the SQLite book file (opened on first use, and
// again when the user's book file changes), the change stamps and the advise sinks.
#pragma once

#include <wab.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "emu/wab/address_book.h"
#include "pal/runtime/components.h"

struct sqlite3;

namespace emu::wab {

class Book : public pal::Component {
public:
    explicit Book(pal::Machine& machine);
    ~Book() override;

    // Callers hold the lock around every use of the book.
    std::recursive_mutex& Lock() { return m_lock; }

    std::optional<Entry> Load(std::uint32_t id);
    std::vector<Entry> All();
    // Stores a new entry (its id is issued here) with a fresh stamp, then advises.
    std::uint32_t Insert(Entry entry);
    // Rewrites an existing entry's properties and folders with a fresh stamp, then advises. False
    // when the entry is gone.
    bool Store(Entry& entry);
    bool Remove(std::uint32_t id);

    ULONG Advise(IMAPIAdviseSink* sink);
    bool Unadvise(ULONG connection);
    std::size_t SinkCount() const { return m_sinks.size(); }

    // The host path of the book file the user's registry names now.
    std::filesystem::path File();

private:
    sqlite3* Db();
    // A stamp later than every stamp issued before, as a FILETIME value.
    std::int64_t NextStamp();
    void Notify();

    pal::Machine& m_machine;
    std::recursive_mutex m_lock;
    std::filesystem::path m_file;
    sqlite3* m_db = nullptr;
    std::map<ULONG, IMAPIAdviseSink*> m_sinks;
    ULONG m_lastConnection = 0;
};

// Serialised property lists as the book file keeps them.
std::vector<std::uint8_t> EncodeProps(const std::vector<Property>& props);
// Nothing when the bytes are damaged.
std::optional<std::vector<Property>> DecodeProps(const std::vector<std::uint8_t>& bytes);

}  // namespace emu::wab
