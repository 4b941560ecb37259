#include "database_handle.h"

#include "cedb_error.h"
#include "pal/runtime/context.h"
#include "pal/runtime/process.h"

namespace emu::cedb {

DatabaseHandle::DatabaseHandle(std::shared_ptr<Volume> volume, CEOID database,
                               CEPROPID sortProperty, DWORD flags,
                               std::optional<CENOTIFYREQUEST> request)
    : m_volume(std::move(volume)), m_flags(flags), m_request(request) {
    m_cursor.database = database;
    m_cursor.sortProperty = sortProperty;
}

DatabaseHandle::~DatabaseHandle() { m_volume->EndWalk(m_cursor); }

std::shared_ptr<DatabaseHandle> HandleOf(HANDLE handle) {
    auto object = pal::CurrentProcess().Handles().GetAs<DatabaseHandle>(handle);
    if (!object) throw CedbError(ERROR_INVALID_HANDLE);
    return object;
}

}  // namespace emu::cedb
