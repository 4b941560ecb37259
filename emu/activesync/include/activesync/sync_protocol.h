// Requests and replies of the link's "sync" endpoint: the engine's desktop half asks its device
// half to list, read, write and delete a type's device objects. Every request starts with the
// operation (32-bit) and the object type name (counted UTF-16); replies start with a result.
//
//   FindObjects                         → result, count + unchanged ids, count + changed ids
//   ReadObject   oid                    → result (RWRN_LAST_PACKET when complete), count + packets
//   WriteObject  token(64), oid, flags, count + packets
//                                       → result, oidNew; a successful write's object then has
//                                         its change mark cleared, as ClearChange does
//   DeleteObject oid                    → result
//   ClearChange  oid                    → admitted (0 or 1)
//   ReportStatus code, param            → result (BOOL)
//   Outcome      token(64)              → known (0 or 1), result, oidNew
//   TakeChanges                         → count + changed ids, count + deleted ids
//
// A write carries a token chosen by the desktop; the device half records the write's outcome
// under it before answering, so that a desktop whose connection dropped during the write can
// learn afterwards whether the device made the object (Outcome) instead of sending it twice.
#pragma once

#include <cstdint>

namespace activesync::sync {

inline constexpr char kEndpoint[] = "sync";

enum class Op : std::uint32_t {
    FindObjects = 1,
    ReadObject = 2,
    WriteObject = 3,
    DeleteObject = 4,
    ClearChange = 5,
    ReportStatus = 6,
    Outcome = 7,
    TakeChanges = 8,
};

}  // namespace activesync::sync
