// The device's server for remote registry and file calls: executes one request with the
// device's own calls in the serving thread's context and encodes the reply.
#pragma once

#include "activesync/bytes.h"

namespace activesync {

Bytes ServeRapiRequest(const Bytes& request);

}  // namespace activesync
