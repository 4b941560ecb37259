// Data requests from a desktop provider to the device provider of the same object type
// (IReplNotify::QueryDevice with QDC_SYNC_DATA), carried over the device link.
//
// The device answers them once something serves them: the device half of the engine
// (activesync::DeviceSession, for the connection) installs its server with ServeDataRequests and
// reaches the device provider's data-request export on its device thread. Until then a request
// comes back without data and with E_NOTIMPL, as from a device whose provider has no
// data-request export.
#pragma once

#include <functional>
#include <string>

#include "activesync/bytes.h"
#include "activesync/device_link.h"
#include "replication.h"

namespace activesync {

inline constexpr char kDataRequestEndpoint[] = "sync-data";

// A request as the device sees it (the object type name in UTF-16).
struct DataRequest {
    std::u16string objType;
    bool set = false;
    UINT code = 0;
    Bytes data;
};

// The device's answer; for a get request, `data` is handed back to the desktop caller.
struct DataReply {
    HRESULT result = S_OK;
    Bytes data;
};

using DataRequestHandler = std::function<DataReply(const DataRequest&)>;

// Serves the desktop's data requests on the device, in a device process with executable path
// `processPath`, through `handler`.
void ServeDataRequests(DeviceLink& link, std::u16string processPath, DataRequestHandler handler);

// Sends a desktop request through the link of `desktop` and answers as QueryDevice does: the
// device's result; for a get request that result's data in a new GlobalAlloc block in lpData
// with its size in cbData (null and 0 without data). E_NOTIMPL when the device serves no data
// requests, HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED) when no device is connected or it
// drops before answering. A set request leaves lpData and cbData as they are.
HRESULT ForwardDataRequest(pal::Machine& desktop, SDREQUESTA& request);

}  // namespace activesync
