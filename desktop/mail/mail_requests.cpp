#include "mail_requests.h"

#include <cstring>

#include "st_log_file.h"

namespace {

HRESULT Ask(IReplNotify* notify, SDREQUEST& request) {
    if (!notify) return E_UNEXPECTED;
    std::strcpy(request.szObjType, "Message");
    HRESULT result = notify->QueryDevice(QDC_SYNC_DATA, reinterpret_cast<LPVOID*>(&request));
    if (FAILED(result))
        ST_LOG("Mail request %u (%s) failed: 0x%08X", request.uCode, request.fSet ? "set" : "get",
               static_cast<unsigned>(result));
    return result;
}

}  // namespace

HRESULT SetMailRequest(IReplNotify* notify, UINT code, const void* data, UINT size) {
    // The request carries its own copy: the device never writes into what the caller passed.
    std::vector<BYTE> copy(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    SDREQUEST request = {};
    request.fSet = TRUE;
    request.uCode = code;
    request.lpData = copy.empty() ? nullptr : copy.data();
    request.cbData = size;
    return Ask(notify, request);
}

HRESULT GetMailRequest(IReplNotify* notify, UINT code, std::vector<BYTE>& reply) {
    reply.clear();
    SDREQUEST request = {};
    request.fSet = FALSE;
    request.uCode = code;
    HRESULT result = Ask(notify, request);
    if (SUCCEEDED(result) && request.lpData)
        reply.assign(request.lpData, request.lpData + request.cbData);
    // The reply block is the caller's to free, whatever the result.
    if (request.lpData) GlobalFree(request.lpData);
    return result;
}
