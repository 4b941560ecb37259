// CeCreateDatabaseEx, CeOpenDatabaseEx, CeOidGetInfoEx, CeDeleteDatabaseEx.
#include <cedb.h>

#include <algorithm>
#include <cstring>

#include "api_guard.h"
#include "cedb_state.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"

using namespace emu::cedb;

namespace {

constexpr DWORD kCreateFlags = CEDB_VALIDNAME | CEDB_VALIDTYPE | CEDB_VALIDSORTSPEC |
                               CEDB_VALIDMODTIME | CEDB_VALIDDBFLAGS | CEDB_NOCOMPRESS;
// The size of a notification request in the platform's 32-bit layout; this layout's own size
// is accepted as well.
constexpr DWORD kPublishedRequestSize = 20;

// The name in a CEDBASEINFO: 1 to 31 characters and a terminator.
std::u16string_view NameOf(const CEDBASEINFO& info) {
    auto* end = std::find(info.szDbaseName, info.szDbaseName + CEDB_MAXDBASENAMELEN, u'\0');
    if (end == info.szDbaseName || end == info.szDbaseName + CEDB_MAXDBASENAMELEN)
        throw CedbError(ERROR_INVALID_PARAMETER);
    return std::u16string_view(info.szDbaseName, end - info.szDbaseName);
}

void Describe(const DatabaseInfo& database, CEDBASEINFO& out) {
    out.dwFlags = CEDB_VALIDNAME | CEDB_VALIDTYPE | CEDB_VALIDSORTSPEC | CEDB_VALIDMODTIME |
                  (database.flags & CEDB_NOCOMPRESS);
    std::copy(database.name.begin(), database.name.end(), out.szDbaseName);
    out.dwDbaseType = database.type;
    out.wNumRecords = static_cast<WORD>(std::min<DWORD>(database.records, 0xFFFF));
    out.wNumSortOrder = static_cast<WORD>(database.sortOrders.size());
    out.dwSize = database.size;
    out.ftLastModified.dwLowDateTime = static_cast<DWORD>(database.modified);
    out.ftLastModified.dwHighDateTime = static_cast<DWORD>(database.modified >> 32);
    for (std::size_t i = 0; i < database.sortOrders.size(); ++i)
        out.rgSortSpecs[i] = {database.sortOrders[i].propid, database.sortOrders[i].flags};
}

std::optional<CENOTIFYREQUEST> CheckedRequest(const CENOTIFYREQUEST* request) {
    if (!request) return std::nullopt;
    if ((request->dwSize != kPublishedRequestSize && request->dwSize != sizeof(CENOTIFYREQUEST)) ||
        !request->hwnd || request->dwFlags != CEDB_EXNOTIFICATION)
        throw CedbError(ERROR_INVALID_PARAMETER);
    return *request;
}

}  // namespace

CEOID CeCreateDatabaseEx(PCEGUID pceguid, CEDBASEINFO* lpCEDBInfo) {
    return Guarded<CEOID>(0, [&] {
        auto volume = CurrentState().VolumeOf(pceguid);
        if (!lpCEDBInfo || (lpCEDBInfo->dwFlags & ~kCreateFlags) ||
            !(lpCEDBInfo->dwFlags & CEDB_VALIDNAME))
            throw CedbError(ERROR_INVALID_PARAMETER);
        auto name = NameOf(*lpCEDBInfo);
        DWORD type = lpCEDBInfo->dwFlags & CEDB_VALIDTYPE ? lpCEDBInfo->dwDbaseType : 0;
        std::vector<SortSpec> sortOrders;
        if (lpCEDBInfo->dwFlags & CEDB_VALIDSORTSPEC) {
            if (lpCEDBInfo->wNumSortOrder > CEDB_MAXSORTORDER)
                throw CedbError(ERROR_INVALID_PARAMETER);
            for (WORD i = 0; i < lpCEDBInfo->wNumSortOrder; ++i) {
                const SORTORDERSPEC& spec = lpCEDBInfo->rgSortSpecs[i];
                if (!IsKnownType(TypeFromPropID(spec.propid)))
                    throw CedbError(ERROR_INVALID_PARAMETER);
                // Records are ordered ascending, case-sensitively, unknown values last.
                if (spec.dwFlags != 0) throw CedbError(ERROR_NOT_SUPPORTED);
                sortOrders.push_back({spec.propid, spec.dwFlags});
            }
        }
        return volume->CreateDatabase(name, type, lpCEDBInfo->dwFlags & CEDB_NOCOMPRESS, sortOrders,
                                      pal::CurrentMachine().NowUtc());
    });
}

HANDLE CeOpenDatabaseEx(PCEGUID pceguid, PCEOID poid, LPWSTR lpszName, CEPROPID propid,
                        DWORD dwFlags, CENOTIFYREQUEST* pRequest) {
    return Guarded<HANDLE>(INVALID_HANDLE_VALUE, [&] {
        auto& state = CurrentState();
        auto volume = state.VolumeOf(pceguid);
        if (dwFlags & ~CEDB_AUTOINCREMENT) throw CedbError(ERROR_INVALID_PARAMETER);
        auto request = CheckedRequest(pRequest);
        CEOID oid;
        if (lpszName) {
            auto found = volume->FindDatabase(lpszName);
            if (!found) throw CedbError(ERROR_FILE_NOT_FOUND);
            oid = *found;
        } else {
            if (!poid) throw CedbError(ERROR_INVALID_PARAMETER);
            oid = *poid;
        }
        auto database = volume->Database(oid);
        if (!database) throw CedbError(ERROR_FILE_NOT_FOUND);
        if (propid && std::none_of(database->sortOrders.begin(), database->sortOrders.end(),
                                   [&](const SortSpec& spec) { return spec.propid == propid; }))
            throw CedbError(ERROR_INVALID_PARAMETER);
        auto handle = std::make_shared<DatabaseHandle>(volume, oid, propid, dwFlags, request);
        state.Track(handle);
        if (poid) *poid = oid;
        return pal::CurrentProcess().Handles().Add(handle);
    });
}

BOOL CeOidGetInfoEx(PCEGUID pceguid, CEOID oid, CEOIDINFO* oidInfo) {
    return Guarded<BOOL>(FALSE, [&] {
        if (!oidInfo) throw CedbError(ERROR_INVALID_PARAMETER);
        std::memset(oidInfo, 0, sizeof *oidInfo);
        oidInfo->wObjType = OBJTYPE_INVALID;
        auto volume = CurrentState().VolumeOf(pceguid);
        if (oid) {
            if (auto database = volume->Database(oid)) {
                oidInfo->wObjType = OBJTYPE_DATABASE;
                Describe(*database, oidInfo->infDatabase);
                return TRUE;
            }
            if (auto parent = volume->RecordParent(oid)) {
                oidInfo->wObjType = OBJTYPE_RECORD;
                oidInfo->infRecord.oidParent = *parent;
                return TRUE;
            }
        }
        throw CedbError(ERROR_INVALID_PARAMETER);
    });
}

BOOL CeDeleteDatabaseEx(PCEGUID pceguid, CEOID oid) {
    return Guarded<BOOL>(FALSE, [&] {
        auto& state = CurrentState();
        auto volume = state.VolumeOf(pceguid);
        if (!volume->Database(oid)) throw CedbError(ERROR_INVALID_PARAMETER);
        if (state.IsOpen(*volume, oid)) throw CedbError(ERROR_SHARING_VIOLATION);
        volume->DeleteDatabase(oid);
        return TRUE;
    });
}
