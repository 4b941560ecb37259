#include "activesync/data_requests.h"

#include <cstring>

namespace activesync {

void ServeDataRequests(DeviceLink& link, std::u16string processPath, DataRequestHandler handler) {
    link.Serve(kDataRequestEndpoint, std::move(processPath),
               [handler = std::move(handler)](const Bytes& bytes) {
                   ByteReader in(bytes);
                   DataRequest request;
                   request.objType = in.Text();
                   request.set = in.U32() != 0;
                   request.code = in.U32();
                   request.data = in.Blob();
                   DataReply reply = handler(request);
                   return ByteWriter()
                       .U32(static_cast<std::uint32_t>(reply.result))
                       .Blob(reply.data)
                       .Take();
               });
}

HRESULT ForwardDataRequest(pal::Machine& desktop, SDREQUESTA& request) {
    // The type name is ANSI text of at most MAX_OBJTYPE_NAME characters with its terminator.
    size_t length = strnlen(request.szObjType, MAX_OBJTYPE_NAME);
    if (length == MAX_OBJTYPE_NAME || (request.cbData && !request.lpData)) return E_INVALIDARG;
    WCHAR wide[MAX_OBJTYPE_NAME] = {};
    int units = length ? MultiByteToWideChar(CP_ACP, 0, request.szObjType,
                                             static_cast<int>(length), wide, MAX_OBJTYPE_NAME)
                       : 0;
    Bytes message = ByteWriter()
                        .Text(std::u16string_view(wide, static_cast<size_t>(units)))
                        .U32(request.fSet ? 1 : 0)
                        .U32(request.uCode)
                        .Blob(request.lpData, request.cbData)
                        .Take();
    CallResult call = DeviceLink::Call(desktop, kDataRequestEndpoint, message);
    if (!request.fSet) {
        request.lpData = nullptr;
        request.cbData = 0;
    }
    if (call.status == CallStatus::NoService) return E_NOTIMPL;
    if (call.status != CallStatus::Answered) return HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
    ByteReader in(call.reply);
    HRESULT result = static_cast<HRESULT>(in.U32());
    Bytes data = in.Blob();
    if (!request.fSet && !data.empty()) {
        HGLOBAL block = GlobalAlloc(GMEM_FIXED, data.size());
        if (!block) return E_OUTOFMEMORY;
        std::memcpy(block, data.data(), data.size());
        request.lpData = static_cast<LPBYTE>(block);
        request.cbData = static_cast<UINT>(data.size());
    }
    return result;
}

}  // namespace activesync
