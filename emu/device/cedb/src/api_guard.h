// The boundary of every platform call: a CedbError (or running out of memory) becomes the
// call's failure result with its code as the thread's last error.
#pragma once

#include <new>

#include "cedb_error.h"

namespace emu::cedb {

template <class Result, class Body>
Result Guarded(Result failure, Body&& body) {
    try {
        return body();
    } catch (const CedbError& error) {
        SetLastError(error.Code());
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return failure;
}

}  // namespace emu::cedb
