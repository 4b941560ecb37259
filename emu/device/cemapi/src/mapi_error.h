// The failure of a message-store operation, carrying the HRESULT the calling interface method or
// call answers.
#pragma once

#include <cemapi.h>

#include <new>

namespace emu::cemapi {

class MapiError {
public:
    explicit MapiError(HRESULT code) : m_code(code) {}
    HRESULT Code() const { return m_code; }

private:
    HRESULT m_code;
};

// The boundary of every interface method: a MapiError becomes its result, running out of memory
// MAPI_E_NOT_ENOUGH_MEMORY.
template <class Body>
HRESULT Guarded(Body&& body) {
    try {
        return body();
    } catch (const MapiError& error) {
        return error.Code();
    } catch (const std::bad_alloc&) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
}

}  // namespace emu::cemapi
