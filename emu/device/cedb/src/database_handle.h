// An open database: a kernel object in the opening process's handle table, holding its volume,
// its cursor and the notification request it was opened with.
#pragma once

#include <cedb.h>

#include <memory>
#include <mutex>
#include <optional>

#include "pal/runtime/handles.h"
#include "volume.h"

namespace emu::cedb {

class DatabaseHandle : public pal::KernelObject {
public:
    DatabaseHandle(std::shared_ptr<Volume> volume, CEOID database, CEPROPID sortProperty,
                   DWORD flags, std::optional<CENOTIFYREQUEST> request);
    ~DatabaseHandle() override;

    Volume& GetVolume() const { return *m_volume; }
    CEOID Database() const { return m_cursor.database; }
    bool AutoIncrement() const { return (m_flags & CEDB_AUTOINCREMENT) != 0; }
    const std::optional<CENOTIFYREQUEST>& Request() const { return m_request; }

    // The cursor, for one thread at a time: hold Lock() while using it.
    std::mutex& Lock() { return m_lock; }
    Cursor& GetCursor() { return m_cursor; }

private:
    std::shared_ptr<Volume> m_volume;
    DWORD m_flags;
    std::optional<CENOTIFYREQUEST> m_request;
    std::mutex m_lock;
    Cursor m_cursor;
};

// The open database a handle of the current process names; throws
// CedbError(ERROR_INVALID_HANDLE) for any other handle.
std::shared_ptr<DatabaseHandle> HandleOf(HANDLE handle);

}  // namespace emu::cedb
