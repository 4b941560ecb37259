// Reading the service registrations under HKEY_LOCAL_MACHINE "Services" of the current machine.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "emu/services/service_host.h"

namespace emu::services {

// The registration "Services\<key>"; none when the key is missing or has no "Dll" or "Prefix".
std::optional<ServiceInfo> ReadRegistration(const std::u16string& key);
// Every complete registration, in boot order.
std::vector<ServiceInfo> ReadRegistrations();

}  // namespace emu::services
